#include "bottles/MainClass.h"

#include "assets/DataFile.h"
#include "maths/Misc.h"
#include "scene/Settings.h"
#include "scene/SoundStuff.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <new>
#include <string>

namespace {

bool EndsWith(const char* name, const char* extension) {
    const size_t n = std::strlen(name), e = std::strlen(extension);
    return n >= e && std::memcmp(name + n - e, extension, e) == 0;
}

bool OpensAsBottle(const std::string& path) {
    DATAFILE file;
    const bool ok = file.Open(path.c_str());
    file.Close();
    return ok;
}

// Copies text into a field of `size` bytes, cut to fit.
void CopyField(char* field, size_t size, const char* text) {
    const size_t n = std::min(std::strlen(text), size - 1);
    std::memcpy(field, text, n);
    field[n] = '\0';
}

// A folder of at least 3 characters gets a trailing "/" when it has none and
// there is room for it.
void EndWithSlash(char* folder) {
    const size_t n = std::strlen(folder);
    if (n >= 3 && folder[n - 1] != '/' && n + 1 < BOTTLE_PATH_SIZE) {
        folder[n] = '/';
        folder[n + 1] = '\0';
    }
}

void NewSpin(VECTOR3D& spin) {
    spin.z = static_cast<float>(std::rand() % 60 - 30);
    spin.y = static_cast<float>(std::rand() % 60 - 30);
    spin.x = static_cast<float>(std::rand() % 60 - 30);
}

VECTOR3D Add(VECTOR3D a, VECTOR3D b) {
    return VECTOR3D(a.x + b.x, a.y + b.y, a.z + b.z);
}
VECTOR3D Sub(VECTOR3D a, VECTOR3D b) {
    return VECTOR3D(a.x - b.x, a.y - b.y, a.z - b.z);
}
float Dot(VECTOR3D a, VECTOR3D b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

int CountFiles(const char* folder1, const char* folder2, const char* extension) {
    int count = 0;
    for (const char* folder : {folder1, folder2}) {
        DIR* dir = opendir(folder);
        if (dir == nullptr) {
            continue;
        }
        while (const dirent* entry = readdir(dir)) {
            if (std::strlen(entry->d_name) > std::strlen(extension) &&
                EndsWith(entry->d_name, extension) &&
                OpensAsBottle(std::string(folder) + entry->d_name)) {
                count++;
            }
        }
        closedir(dir);
    }
    return count;
}

int compare_pos(const void* a, const void* b) {
    const float za = static_cast<const ONEBOTTLE*>(a)->pos.z;
    const float zb = static_cast<const ONEBOTTLE*>(b)->pos.z;
    if (za > zb) {
        return 1;
    }
    if (zb > za) {
        return -1;
    }
    return 0;
}

bool VectorIntersection(VECTOR3D p1, VECTOR3D p2, VECTOR3D p3, VECTOR3D p4, VECTOR3D* meeting,
                        float radius) {
    const VECTOR3D u = Sub(p2, p1), v = Sub(p4, p3), w = Sub(p1, p3);
    if (std::fabs(v.x) < 0.5f && std::fabs(v.y) < 0.5f && std::fabs(v.z) < 0.5f) {
        return false;
    }
    if (std::fabs(u.x) < 0.5f && std::fabs(u.y) < 0.5f && std::fabs(u.z) < 0.5f) {
        return false;
    }
    const double uv = Dot(u, v), vv = Dot(v, v), uu = Dot(u, u);
    const double denom = uu * vv - uv * uv;
    if (std::fabs(denom) < 0.5) {
        return false;
    }
    const double wv = Dot(w, v), wu = Dot(w, u);
    const double ta = (wv * uv - wu * vv) / denom;
    const VECTOR3D pa(static_cast<float>(p1.x + ta * u.x), static_cast<float>(p1.y + ta * u.y),
                      static_cast<float>(p1.z + ta * u.z));
    const float half = radius / 2;
    const float a1[3] = {p1.x, p1.y, p1.z}, a2[3] = {p2.x, p2.y, p2.z}, pa3[3] = {pa.x, pa.y, pa.z};
    for (int k = 0; k < 3; k++) {
        if (pa3[k] < std::min(a1[k], a2[k]) - half || pa3[k] > std::max(a1[k], a2[k]) + half) {
            return false;
        }
    }
    const double tb = (wv + uv * ta) / vv;
    const VECTOR3D pb(static_cast<float>(p3.x + tb * v.x), static_cast<float>(p3.y + tb * v.y),
                      static_cast<float>(p3.z + tb * v.z));
    const float b1[3] = {p3.x, p3.y, p3.z}, b2[3] = {p4.x, p4.y, p4.z}, pb3[3] = {pb.x, pb.y, pb.z};
    for (int k = 0; k < 3; k++) {
        if (pb3[k] < std::min(b1[k], b2[k]) || pb3[k] > std::max(b1[k], b2[k])) {
            return false;
        }
    }
    const VECTOR3D d = Sub(pb, pa);
    if (Dot(d, d) > radius * radius) {
        return false;
    }
    if (meeting != nullptr) {
        *meeting = VECTOR3D((pa.x + pb.x) / 2, (pa.y + pb.y) / 2, (pa.z + pb.z) / 2);
    }
    return true;
}

MAINCLASS::MAINCLASS()
    : shineTex(0), checkCollisions(true), playSound(true), bottles(nullptr), numBottles(10),
      goodShine(true), bottleScale(0.25f), numTypes(0), bottlePath{}, bottlePath2{},
      selection(nullptr), numSelected(0), types(nullptr) {}

MAINCLASS::~MAINCLASS() {
    Cleanup();
    CleanupBottleList();
}

bool MAINCLASS::BuildBottleList() {
    numTypes = CountFiles(bottlePath, bottlePath2, ".brew");
    if (numTypes < 1) {
        numTypes = 0;
        ERRORCLOSE("No Bottle Data Found!");
        return false;
    }
    types = new (std::nothrow) BOTTLEINFO[numTypes];
    if (types == nullptr) {
        numTypes = 0;
        ERRORCLOSE("Error Allocating Memory!");
        return false;
    }
    int filled = 0;
    for (const char* folder :
         {static_cast<const char*>(bottlePath), static_cast<const char*>(bottlePath2)}) {
        if (filled >= numTypes) {
            break;
        }
        DIR* dir = opendir(folder);
        if (dir == nullptr) {
            continue;
        }
        while (filled < numTypes) {
            const dirent* entry = readdir(dir);
            if (entry == nullptr) {
                break;
            }
            if (!EndsWith(entry->d_name, ".brew") ||
                !OpensAsBottle(std::string(folder) + entry->d_name)) {
                continue;
            }
            CopyField(types[filled].fileName, BOTTLE_PATH_SIZE, entry->d_name);
            CopyField(types[filled].folder, BOTTLE_PATH_SIZE, folder);
            filled++;
        }
        closedir(dir);
    }
    if (filled < numTypes) {
        numTypes = filled;
        if (numTypes < 1) {
            ERRORCLOSE("No valid currencies found!");
            return false;
        }
    }
    for (int i = 0; i < numTypes; i++) {
        DATAFILE file;
        const std::string path = std::string(types[i].folder) + types[i].fileName;
        if (!file.Open(path.c_str())) {
            ERRORCLOSE("Error Loading Bottle!");
            file.Close();
            return false;
        }
        const size_t n = strnlen(file.header.name, sizeof file.header.name);
        std::memcpy(types[i].name, file.header.name, n);
        types[i].name[n] = '\0';
        types[i].tag = file.header.tag;
        types[i].flags = file.header.flags;
        file.Close();
    }
    return true;
}

int MAINCLASS::FindBottle(const char* fileName) const {
    if (types == nullptr || fileName == nullptr) {
        return -1;
    }
    for (int i = 0; i < numTypes; i++) {
        if (std::strcmp(types[i].fileName, fileName) == 0) {
            return i;
        }
    }
    return -1;
}

bool MAINCLASS::FindBottleSelection(const char* text, int64_t length) {
    // Names are collected whole, however long, so a long file name matches
    // exactly or not at all and never overruns anything.
    if (length >= 1 && text != nullptr) {
        std::string name;
        for (int64_t i = 0; i < length; i++) {
            const char c = text[i];
            if (c != '#') {
                name += c;
                continue;
            }
            if (name.empty()) {
                break;
            }
            const int found = FindBottle(name.c_str());
            if (found >= 0) {
                types[found].selected = false;
            }
            name.clear();
        }
    }
    int count = 0;
    for (int i = 0; i < numTypes; i++) {
        if (types[i].selected) {
            count++;
        }
    }
    if (count == 0) {
        for (int i = 0; i < numTypes; i++) {
            types[i].selected = true;
        }
        count = numTypes;
    }
    delete[] selection;
    numSelected = count;
    selection = new (std::nothrow) int[count > 0 ? count : 1];
    if (selection == nullptr) {
        numSelected = 0;
        return false;
    }
    int k = 0;
    for (int i = 0; i < numTypes; i++) {
        if (types[i].selected) {
            selection[k++] = i;
        }
    }
    return true;
}

bool MAINCLASS::BottleFileExists(const char* name) const {
    DIR* dir = opendir(bottlePath2);
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (!found) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        if (!EndsWith(entry->d_name, ".brew")) {
            continue;
        }
        DATAFILE file;
        const std::string path = std::string(bottlePath2) + entry->d_name;
        if (file.Open(path.c_str())) {
            const size_t n = strnlen(file.header.name, sizeof file.header.name);
            found = std::strlen(name) == n && std::memcmp(file.header.name, name, n) == 0;
        }
        file.Close();
    }
    closedir(dir);
    return found;
}

void MAINCLASS::CleanupBottleList() {
    delete[] types;
    types = nullptr;
    numTypes = 0;
}

bool MAINCLASS::Setup(SETTINGS* settings) {
    // A negative count never reaches the bottle array.
    numBottles = settings->NUM_BOTTLES > 0 ? settings->NUM_BOTTLES : 0;
    bottleScale = static_cast<float>(settings->LBOTTLESIZE / 100.0);
    CopyField(bottlePath, BOTTLE_PATH_SIZE, settings->BottlePath);
    CopyField(bottlePath2, BOTTLE_PATH_SIZE, settings->BottlePath2);
    goodShine = settings->GOODSHINE;
    playSound = settings->PLAYSOUND;
    checkCollisions = true;
    EndWithSlash(bottlePath);
    EndWithSlash(bottlePath2);

    if (!BuildBottleList()) {
        return false;
    }
    FindBottleSelection(settings->bottleSelection, settings->selectionSize);
    delete[] settings->bottleSelection;
    settings->bottleSelection = nullptr;

    // Types that fail to load are taken out of the draw, so no bottle ever
    // gets one; when every type fails, there is no scene.
    if (selection == nullptr || numSelected <= 0) {
        delete[] selection;
        selection = new (std::nothrow) int[numTypes];
        if (selection == nullptr) {
            numSelected = 0;
            ERRORCLOSE("Unable to allocate memory!");
            return false;
        }
        for (int i = 0; i < numTypes; i++) {
            selection[i] = i;
        }
        numSelected = numTypes;
    }

    bottles = new (std::nothrow) ONEBOTTLE[numBottles > 0 ? numBottles : 1];
    if (bottles == nullptr) {
        ERRORCLOSE("Unable to allocate memory!");
        return false;
    }
    for (int64_t i = 0; i < numBottles; i++) {
        BOTTLEINFO* type = nullptr;
        while (type == nullptr) {
            if (numSelected <= 0) {
                ERRORCLOSE("Unable to load currency!");
                return false;
            }
            const int pick = std::rand() % numSelected;
            BOTTLEINFO* candidate = &types[selection[pick]];
            if (candidate->loaded || candidate->LoadData(bottlePath, bottleScale, goodShine)) {
                type = candidate;
            } else {
                std::copy(selection + pick + 1, selection + numSelected, selection + pick);
                numSelected--;
            }
        }
        bottles[i].Load(type);
    }
    return true;
}

void MAINCLASS::CleanupBottles() {
    if (bottles == nullptr) {
        return;
    }
    for (int64_t i = numBottles - 1; i >= 0; i--) {
        bottles[i].Release();
    }
    delete[] bottles;
    bottles = nullptr;
}

void MAINCLASS::Cleanup() {
    CleanupBottles();
    delete[] selection;
    selection = nullptr;
    numSelected = 0;
}

void MAINCLASS::CheckCollisions() {
    if (!checkCollisions || numBottles < 2 || bottles == nullptr) {
        return;
    }
    for (int64_t i = 0; i < numBottles; i++) {
        for (int64_t j = 0; j < numBottles; j++) {
            if (j == i) {
                continue;
            }
            ONEBOTTLE& a = bottles[i];
            ONEBOTTLE& b = bottles[j];
            const VECTOR3D a1 = Add(a.pos, a.top), a2 = Add(a.pos, a.bottom);
            const VECTOR3D b1 = Add(b.pos, b.top), b2 = Add(b.pos, b.bottom);
            const float r = a.info->radius + b.info->radius;
            if (!VectorIntersection(a1, a2, b1, b2, nullptr, r)) {
                continue;
            }
            a.vel = Sub(a.pos, b.pos);
            a.vel.Normalize();
            b.vel = VECTOR3D(-a.vel.x, -a.vel.y, -a.vel.z);
            const float s1 = static_cast<float>(std::rand() % 15 + 2);
            const float s2 = static_cast<float>(std::rand() % 15 + 2);
            a.vel = VECTOR3D(a.vel.x * s1, a.vel.y * s1, a.vel.z * s1);
            b.vel = VECTOR3D(b.vel.x * s2, b.vel.y * s2, b.vel.z * s2);
            NewSpin(a.spin);
            NewSpin(b.spin);
            if (playSound) {
                PlayBottleSound();
            }
        }
    }
}

void MAINCLASS::DrawBottles(double dt) {
    if (bottles == nullptr || numBottles <= 0) {
        return;
    }
    CheckCollisions();
    for (int64_t i = 0; i < numBottles; i++) {
        bottles[i].Move(dt, this);
    }
    std::sort(bottles, bottles + numBottles,
              [](const ONEBOTTLE& a, const ONEBOTTLE& b) { return compare_pos(&a, &b) < 0; });
    for (int64_t i = 0; i < numBottles; i++) {
        bottles[i].Draw(this);
    }
}
