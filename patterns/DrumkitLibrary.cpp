#include "patterns/DrumkitLibrary.h"

#include <algorithm>
#include <filesystem>

#include "platform/IniFile.h"

namespace morvelant {

namespace {

template <typename T>
T* FindByName(const std::vector<std::unique_ptr<T>>& list, const std::string& name) {
    for (const auto& item : list)
        if (SameName(item->Name, name)) return item.get();
    return nullptr;
}

// The entry of that name; a new one appended (and its name listed) when
// there is none.
template <typename T>
T& FindOrAppend(std::vector<std::unique_ptr<T>>& list, SortedNames& names, const std::string& name) {
    if (T* item = FindByName(list, name)) return *item;
    auto item = std::make_unique<T>();
    item->Name = name;
    list.push_back(std::move(item));
    names.Add(name);
    return *list.back();
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) { return a.size() == b.size() && SameIniName(a, b); }

bool SortedNames::Add(const std::string& name) {
    for (const std::string& s : items_)
        if (SameName(s, name)) return false;
    items_.insert(std::upper_bound(items_.begin(), items_.end(), name, IniNameLess), name);
    return true;
}

Drumkit* Model::FindDrumkit(const std::string& name) const { return FindByName(Drumkits, name); }

Drumkit& Model::AddDrumkit(const std::string& name, const InstrumentNames& names) {
    if (Drumkit* kit = FindDrumkit(name)) return *kit;
    auto kit = std::make_unique<Drumkit>();
    kit->Name = name;
    kit->Owner = this;
    kit->Names = names;
    Drumkits.push_back(std::move(kit));
    DrumkitNames.Add(name);
    return *Drumkits.back();
}

Model* Manufacturer::FindModel(const std::string& name) const { return FindByName(Models, name); }

Model& Manufacturer::GetModel(const std::string& name) { return FindOrAppend(Models, ModelNames, name); }

Manufacturer* AllSynths::FindManufacturer(const std::string& name) const { return FindByName(Manufacturers, name); }

Manufacturer& AllSynths::GetManufacturer(const std::string& name) {
    return FindOrAppend(Manufacturers, ManufacturerNames, name);
}

Drumkit& AllSynths::AddKit(const DrumkitDesc& desc) {
    return GetManufacturer(desc.Manufacturer).GetModel(desc.Model).AddDrumkit(desc.Drumkit, desc.Names);
}

std::vector<DrumkitDesc> ReadDrumkitFile(const std::string& path) {
    std::vector<DrumkitDesc> kits;
    for (const auto& [section, values] : TIniFile(path).ReadAllSectionValues()) {
        DrumkitDesc desc;
        for (const auto& [key, value] : values) {
            int note = -1;
            if (SameIniName(key, "drumkit"))
                desc.Drumkit = value;
            else if (SameIniName(key, "manufacturer"))
                desc.Manufacturer = value;
            else if (SameIniName(key, "model"))
                desc.Model = value;
            else if (TIniFile::ParseInteger(key, note) && note >= 0 && note <= 127 && key == std::to_string(note))
                desc.Names[static_cast<size_t>(note)] = value;
        }
        kits.push_back(std::move(desc));
    }
    return kits;
}

void ReadDrumkitFolder(const std::string& folder, AllSynths& library) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 4 && SameIniName(name.substr(name.size() - 4), ".MVD") && it->is_regular_file(ec))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files)
        for (const DrumkitDesc& desc : ReadDrumkitFile(file.string())) library.AddKit(desc);
}

std::vector<KitMenuNode> BuildKitMenuTree(const AllSynths& library) {
    std::vector<KitMenuNode> tree;
    for (const std::string& mname : library.ManufacturerNames.Items()) {
        const Manufacturer* m = library.FindManufacturer(mname);
        KitMenuNode mnode{m->Name, nullptr, {}};
        for (const std::string& modelName : m->ModelNames.Items()) {
            const Model* model = m->FindModel(modelName);
            std::vector<KitMenuNode> kits;
            for (const std::string& kname : model->DrumkitNames.Items())
                kits.push_back({kname, model->FindDrumkit(kname), {}});
            if (model->Name.empty()) {
                for (auto& k : kits) mnode.Children.push_back(std::move(k));
            } else {
                mnode.Children.push_back({model->Name, nullptr, std::move(kits)});
            }
        }
        tree.push_back(std::move(mnode));
    }
    return tree;
}

std::string KitCaption(const Drumkit& kit) {
    if (kit.Owner == nullptr || kit.Owner->Name.empty()) return kit.Name;
    return "(" + kit.Owner->Name + ")  " + kit.Name;
}

}  // namespace morvelant
