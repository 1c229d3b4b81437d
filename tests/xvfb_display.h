// A private Xvfb display for one test: started with -displayfd so it picks a free number, and
// stopped (after the window layer has let go of it) when the object goes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/linux/headless.h"

class XvfbDisplay {
  public:
    XvfbDisplay() {
        if (access(kServer, X_OK) != 0) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 1);
            dup2(devnull, 2);
            const std::string fd = std::to_string(fds[1]);
            execl(kServer, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                  "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (pid_ > 0 && poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~XvfbDisplay() {
        // The layer's connection must close before the server goes, or Xlib ends the process.
        platform::ResetLayer();
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // ":N", or empty when Xvfb is not installed or did not start.
    const std::string& Name() const { return display_; }

  private:
    static constexpr const char* kServer = "/usr/bin/Xvfb";
    pid_t pid_ = -1;
    std::string display_;
};
