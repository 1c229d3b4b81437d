#include "cli/ogr_output.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "cli/gdal_raster.h"
#include "cli/printable.h"

namespace fs = std::filesystem;

struct VectorOutput::State {
    GDALDataset* dataset = nullptr;
    OGRLayer* layer = nullptr;
    std::unique_ptr<OGRFeature> feature; // reused for every feature, with its geometry
    OGRLineString* line = nullptr;       // the feature's, for lines
    OGRMultiPolygon* band = nullptr;     // the feature's, for polygons
    OGRPolygon* polygon = nullptr;       // the band's last polygon
    int idField = -1, elevationField = -1, minField = -1, maxField = -1;
    bool threeD = false;
    bool transaction = false;
    std::vector<double> z;      // the level, once per point, for -3d
    double bandZ = 0;           // the band's Z: its upper level, as gdal_contour gives it
    std::string failure;        // the first failed write's reason
    fs::path temporary, folder; // where the dataset is made, and where its files go
    std::string destination;    // as the user named it, for messages
    bool committed = false;

    void Fail(const char* what) {
        if (!failure.empty()) return;
        const std::string why = TakeGdalError();
        failure = std::string(what) + (why.empty() ? "" : ": " + why);
    }
    const double* Z(std::size_t n, double level) {
        if (!threeD) return nullptr;
        z.assign(n, level);
        return z.data();
    }
};

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool Writes(GDALDriver* d) {
    return d->GetMetadataItem(GDAL_DCAP_VECTOR) && d->GetMetadataItem(GDAL_DCAP_CREATE);
}

// The driver named, or the drivers whose extensions hold the destination's.
GDALDriver* ChooseDriver(const VectorLayerRequest& request, std::string& error,
                         std::vector<std::string>& warnings) {
    GDALDriverManager* manager = GetGDALDriverManager();
    if (!request.format.empty()) {
        GDALDriver* d = manager->GetDriverByName(request.format.c_str());
        if (!d)
            error = "no OGR driver is named " + Printable(request.format);
        else if (!Writes(d))
            error = "the " + Printable(request.format) + " driver writes no vector files";
        return error.empty() ? d : nullptr;
    }
    const std::string ext = Lower(fs::path(request.path).extension().string());
    std::vector<GDALDriver*> found;
    for (int k = 0; !ext.empty() && k < manager->GetDriverCount(); ++k) {
        GDALDriver* d = manager->GetDriver(k);
        if (!Writes(d)) continue;
        const char* list = d->GetMetadataItem(GDAL_DMD_EXTENSIONS);
        if (!list) list = d->GetMetadataItem(GDAL_DMD_EXTENSION);
        std::istringstream words(list ? list : "");
        for (std::string w; words >> w;)
            if ("." + Lower(w) == ext) {
                found.push_back(d);
                break;
            }
    }
    if (found.empty()) {
        error = "cannot tell a vector format from " + Printable(request.path) +
                "'s extension; name one with -f";
        return nullptr;
    }
    if (found.size() > 1)
        warnings.push_back("several drivers write " + ext + " files; using " +
                           found[0]->GetDescription());
    return found[0];
}

// A NAME=VALUE list as GDAL takes it.
CPLStringList Options(const std::vector<std::string>& items) {
    CPLStringList list;
    for (const std::string& s : items)
        list.AddString(s.c_str());
    return list;
}

bool Has(const std::vector<std::string>& items, const char* name) {
    const std::string prefix = Lower(name) + "=";
    return std::any_of(items.begin(), items.end(),
                       [&](const std::string& s) { return Lower(s).rfind(prefix, 0) == 0; });
}

int RealField(OGRLayer* layer, const std::string& name) {
    if (name.empty()) return -1;
    OGRFieldDefn field(name.c_str(), OFTReal);
    if (layer->CreateField(&field) != OGRERR_NONE) return -2;
    return layer->GetLayerDefn()->GetFieldIndex(name.c_str());
}

} // namespace

std::unique_ptr<VectorOutput> VectorOutput::Create(const VectorLayerRequest& request,
                                                   std::string& error,
                                                   std::vector<std::string>& warnings) {
    StartGdal();
    TakeGdalError();
    std::error_code ec;
    const fs::path target = fs::absolute(request.path, ec);
    if (fs::is_directory(target, ec)) {
        error = "cannot write " + Printable(request.path) + ": it is a folder";
        return nullptr;
    }
    if (!fs::is_directory(target.parent_path(), ec)) {
        error = "cannot write " + Printable(request.path) + ": no folder " +
                Printable(target.parent_path().string());
        return nullptr;
    }
    GDALDriver* driver = ChooseDriver(request, error, warnings);
    if (!driver) return nullptr;

    std::unique_ptr<VectorOutput> out(new VectorOutput());
    out->state_ = std::make_unique<State>();
    State& s = *out->state_;
    s.destination = request.path;
    s.folder = target.parent_path();
    std::string pattern = (s.folder / ("." + target.filename().string() + ".XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot write " + Printable(request.path) + ": " +
                std::generic_category().message(errno);
        return nullptr;
    }
    s.temporary = pattern;
    auto refuse = [&](const std::string& what) {
        const std::string why = TakeGdalError();
        error = what + (why.empty() ? "" : ": " + why);
        return nullptr;
    };
    std::vector<std::string> layerOptions = request.layerOptions;
    // A CSV file without its geometry holds no contour at all: as well-known text, unless asked.
    if (Lower(driver->GetDescription()) == "csv" && !Has(layerOptions, "GEOMETRY"))
        layerOptions.push_back("GEOMETRY=AS_WKT");
    s.dataset = driver->Create((s.temporary / target.filename()).string().c_str(), 0, 0, 0,
                               GDT_Unknown, Options(request.datasetOptions).List());
    if (!s.dataset)
        return refuse("the " + std::string(driver->GetDescription()) + " driver cannot create " +
                      Printable(request.path));
    OGRSpatialReference srs;
    const bool hasSrs = !request.spatialRefWkt.empty() &&
                        srs.importFromWkt(request.spatialRefWkt.c_str()) == OGRERR_NONE;
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const OGRwkbGeometryType type = request.polygons
                                        ? (request.threeD ? wkbMultiPolygon25D : wkbMultiPolygon)
                                        : (request.threeD ? wkbLineString25D : wkbLineString);
    s.layer = s.dataset->CreateLayer(request.layerName.c_str(), hasSrs ? &srs : nullptr, type,
                                     Options(layerOptions).List());
    if (!s.layer) return refuse("cannot create layer " + Printable(request.layerName));
    OGRFieldDefn id("ID", OFTInteger);
    id.SetWidth(8);
    if (s.layer->CreateField(&id) != OGRERR_NONE) return refuse("cannot create field ID");
    s.idField = s.layer->GetLayerDefn()->GetFieldIndex("ID");
    s.elevationField = RealField(s.layer, request.elevation);
    s.minField = RealField(s.layer, request.elevationMin);
    s.maxField = RealField(s.layer, request.elevationMax);
    if (s.elevationField == -2 || s.minField == -2 || s.maxField == -2)
        return refuse("cannot create the level fields");
    s.threeD = request.threeD;
    s.feature = std::make_unique<OGRFeature>(s.layer->GetLayerDefn());
    if (request.polygons) {
        s.band = new OGRMultiPolygon();
        s.feature->SetGeometryDirectly(s.band);
    } else {
        s.line = new OGRLineString();
        s.feature->SetGeometryDirectly(s.line);
    }
    // One transaction where the driver has them: a database file then writes once at the end.
    s.transaction = s.dataset->StartTransaction() == OGRERR_NONE;
    TakeGdalError();
    return out;
}

VectorOutput::~VectorOutput() {
    if (!state_) return;
    State& s = *state_;
    if (s.dataset) GDALClose(s.dataset);
    std::error_code ec;
    if (!s.temporary.empty()) fs::remove_all(s.temporary, ec);
    TakeGdalError();
}

bool VectorOutput::AddLine(long long id, double level, const double* x, const double* y,
                           std::size_t n) {
    State& s = *state_;
    s.feature->SetFID(OGRNullFID);
    s.feature->SetField(s.idField, int(id));
    if (s.elevationField >= 0) s.feature->SetField(s.elevationField, level);
    s.line->setPoints(int(n), x, y, s.Z(n, level));
    if (s.layer->CreateFeature(s.feature.get()) == OGRERR_NONE) return true;
    s.Fail("cannot write a line");
    return false;
}

void VectorOutput::BeginBand(double z) {
    state_->band->empty();
    state_->polygon = nullptr;
    state_->bandZ = z;
}

void VectorOutput::AddRing(bool outer, const double* x, const double* y, std::size_t n) {
    State& s = *state_;
    auto* ring = new OGRLinearRing();
    ring->setPoints(int(n), x, y, s.Z(n, s.bandZ));
    if (outer || !s.polygon) {
        s.polygon = new OGRPolygon();
        s.band->addGeometryDirectly(s.polygon);
    }
    s.polygon->addRingDirectly(ring);
}

bool VectorOutput::EndBand(long long id, double lower, double upper) {
    State& s = *state_;
    s.feature->SetFID(OGRNullFID);
    s.feature->SetField(s.idField, int(id));
    if (s.minField >= 0) s.feature->SetField(s.minField, lower);
    if (s.maxField >= 0) s.feature->SetField(s.maxField, upper);
    if (s.layer->CreateFeature(s.feature.get()) == OGRERR_NONE) return true;
    s.Fail("cannot write a band");
    return false;
}

bool VectorOutput::Commit(std::string& error) {
    State& s = *state_;
    if (s.transaction && s.failure.empty() && s.dataset->CommitTransaction() != OGRERR_NONE)
        s.Fail("cannot write");
    TakeGdalError();
    GDALClose(s.dataset);
    s.dataset = nullptr;
    if (s.failure.empty()) {
        if (const std::string why = TakeGdalError(); !why.empty())
            s.failure = "cannot write: " + why;
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(s.temporary, ec)) {
        if (!s.failure.empty()) break;
        fs::rename(entry.path(), s.folder / entry.path().filename(), ec);
        if (ec) s.failure = "cannot move into place: " + ec.message();
    }
    if (s.failure.empty()) {
        s.committed = true;
        return true;
    }
    error = Printable(s.destination) + ": " + s.failure;
    return false;
}
