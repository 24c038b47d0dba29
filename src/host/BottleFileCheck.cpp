#include "host/BottleFileCheck.h"

#include "assets/DataFile.h"
#include "assets/TGALoader.h"
#include "assets/Texture.h"
#include "maths/Misc.h"
#include "model/MilkshapeModel.h"

namespace {

std::string* collected = nullptr;

void Collect(const char* message) {
    if (collected != nullptr && collected->empty()) {
        *collected = message;
    }
}

void CollectAlert(const char*, const char* text) {
    Collect(text);
}

// Routes the loaders' alerts and messages into one text while it lives.
class Collecting {
  public:
    explicit Collecting(std::string* into)
        : sink(CurrentErrorSink()), presenter(CurrentAlertPresenter()) {
        collected = into;
        SetErrorSink(&Collect);
        SetAlertPresenter(&CollectAlert);
    }
    ~Collecting() {
        SetErrorSink(sink);
        SetAlertPresenter(presenter);
        collected = nullptr;
    }
    Collecting(const Collecting&) = delete;
    Collecting& operator=(const Collecting&) = delete;

  private:
    ErrorSink sink;
    AlertPresenter presenter;
};

bool Refuse(std::string* error, const std::string& why, const std::string& message) {
    *error = message.empty() ? why : why + " (" + message + ")";
    return false;
}

} // namespace

bool CheckBottleFile(const std::string& path, std::string* error) {
    std::string message;
    const Collecting collecting(&message);
    DATAFILE file;
    if (!file.Open(path.c_str())) {
        return Refuse(error, "what arrived is not a bottle data file", message);
    }
    if (file.header.numLumps < 2) {
        return Refuse(error, "the bottle data file holds no model and texture", "");
    }
    MS3D model;
    if (!file.SeekLump(0) || !model.LoadFromFStream(file.stream)) {
        return Refuse(error, "the bottle's model does not load", message);
    }
    for (int i = 1; i < int(file.header.numLumps); i++) {
        if (file.lumps[size_t(i)].type != 1) {
            continue;
        }
        Texture texture;
        file.stream.clear();
        if (!file.SeekLump(i) || !LoadTGA2(&texture, &file.stream)) {
            return Refuse(error, "image " + std::to_string(i) + " of the bottle does not decode",
                          message);
        }
    }
    return true;
}
