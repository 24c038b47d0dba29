#include "Ms3dCheck.h"

#include "maths/Misc.h"
#include "model/MilkshapeModel.h"

#include <cstring>
#include <sstream>

namespace {
std::string loaderMessage;
void KeepMessage(const char* text) {
    loaderMessage = text;
}
} // namespace

// The saver's own loader decides: what it takes, the packer takes.
bool CheckMs3d(const brew::Bytes& file, Ms3dSummary* summary, std::string* error) {
    // The header, for a message that says more than the loader's.
    if (file.size() < 14 || std::memcmp(file.data(), "MS3D000000", 10) != 0) {
        *error = "not a MilkShape 3D model (binary .ms3d)";
        return false;
    }
    int32_t version = 0;
    std::memcpy(&version, file.data() + 10, 4);
    if (version != 3 && version != 4) {
        *error = "MilkShape 3D model version " + std::to_string(version) +
                 "; the saver reads versions 3 and 4";
        return false;
    }
    std::istringstream stream(std::string(file.begin(), file.end()));
    MS3D model;
    loaderMessage.clear();
    SetErrorSink(KeepMessage);
    const bool ok = model.LoadFromFStream(stream);
    SetErrorSink(nullptr);
    if (!ok) {
        *error = "the saver cannot load this model: " +
                 (loaderMessage.empty() ? std::string("not a MilkShape 3D model") : loaderMessage);
        return false;
    }
    Ms3dSummary s;
    s.numVertices = model.numVertices;
    s.numTriangles = model.numTriangles;
    for (unsigned g = 0; g < model.numGroups; g++) {
        s.groupNames.emplace_back(model.groups[g].name,
                                  strnlen(model.groups[g].name, sizeof model.groups[g].name));
        s.groupMaterials.push_back(model.groups[g].materialIndex);
    }
    *summary = std::move(s);
    return true;
}
