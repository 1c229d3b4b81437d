// A vector file written through GDAL's OGR, whole or not at all: the dataset is made in a
// temporary folder beside the destination and its files are moved into place only once it is
// complete. The tool's one contact with GDAL's vector side.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct VectorLayerRequest {
    std::string path;                        // the destination
    std::string format;                      // an OGR driver's name; empty: from the extension
    std::vector<std::string> datasetOptions; // NAME=VALUE
    std::vector<std::string> layerOptions;   // NAME=VALUE
    std::string layerName;
    std::string spatialRefWkt;              // empty: none
    bool polygons = false;                  // MultiPolygon features, else LineString
    bool threeD = false;                    // Z on every point
    std::string elevation;                  // lines: the level's Real field, or none
    std::string elevationMin, elevationMax; // polygons: the band's bounds, or none
};

class VectorOutput {
  public:
    /// Chooses the driver (by name, or else the first whose extensions hold the destination's,
    /// with a warning when several do), creates the dataset in a temporary folder beside the
    /// destination, and the layer with its ID and level fields. Returns null with one line in
    /// error when the driver does not exist or cannot create vectors, the destination's folder
    /// does not exist or it is a folder, or the driver refuses the options. Nothing is left on
    /// the disk then.
    static std::unique_ptr<VectorOutput> Create(const VectorLayerRequest& request,
                                                std::string& error,
                                                std::vector<std::string>& warnings);
    /// Removes everything written unless Commit succeeded.
    ~VectorOutput();

    /// One feature: a line of n points at level, with its ID.
    bool AddLine(long long id, double level, const double* x, const double* y, std::size_t n);
    /// Polygons of one band are gathered by these, then written by EndBand as one feature: z
    /// is every point's Z with -3d, each outer ring starts a polygon and holes follow it.
    void BeginBand(double z);
    void AddRing(bool outer, const double* x, const double* y, std::size_t n);
    bool EndBand(long long id, double lower, double upper);

    /// Closes the dataset and moves its files into place. Returns false with one line in error
    /// when any write failed; nothing is left on the disk then.
    bool Commit(std::string& error);

    struct State; // GDAL's objects

  private:
    VectorOutput() = default;
    std::unique_ptr<State> state_;
};
