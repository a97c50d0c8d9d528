// The drum kit library: kits read from the definition files ("*.MVD" in the
// program's "Drumkits" folder), filed by manufacturer and model, each naming
// the instrument on every one of the 128 notes.
//
// Names are matched without regard to letter case everywhere, so "Acme" and
// "ACME" are one manufacturer (the first spelling read is the one shown).
// The files are read in name order, so the first definition of a kit wins
// the same way on every machine.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace morvelant {

using InstrumentNames = std::array<std::string, 128>;

// One section of a definition file as read.
struct DrumkitDesc {
    std::string Manufacturer;
    std::string Model;
    std::string Drumkit;
    InstrumentNames Names{};
};

// Names kept in case-insensitive alphabetical order, each once whatever its
// letter case.
class SortedNames {
public:
    // False when the list already holds the name in some letter case.
    bool Add(const std::string& name);
    const std::vector<std::string>& Items() const { return items_; }
    size_t size() const { return items_.size(); }

private:
    std::vector<std::string> items_;
};

bool SameName(const std::string& a, const std::string& b);

class Model;

class Drumkit {
public:
    std::string Name;
    const Model* Owner = nullptr;
    InstrumentNames Names{};
};

class Model {
public:
    std::string Name;
    std::vector<std::unique_ptr<Drumkit>> Drumkits;
    SortedNames DrumkitNames;

    Drumkit* FindDrumkit(const std::string& name) const;
    // The kit of that name; a new one with `names` when there is none.
    Drumkit& AddDrumkit(const std::string& name, const InstrumentNames& names);
};

class Manufacturer {
public:
    std::string Name;
    std::vector<std::unique_ptr<Model>> Models;
    SortedNames ModelNames;

    Model* FindModel(const std::string& name) const;
    Model& GetModel(const std::string& name);
};

class AllSynths {
public:
    std::vector<std::unique_ptr<Manufacturer>> Manufacturers;
    SortedNames ManufacturerNames;

    Manufacturer* FindManufacturer(const std::string& name) const;
    Manufacturer& GetManufacturer(const std::string& name);
    Drumkit& AddKit(const DrumkitDesc& desc);
    bool Empty() const { return Manufacturers.empty(); }
};

// The kits of one definition file, sections in file order.
std::vector<DrumkitDesc> ReadDrumkitFile(const std::string& path);
// Every "*.MVD" file of `folder` (any letter case of the extension), in name
// order, into the library. A missing folder leaves it as it is.
void ReadDrumkitFolder(const std::string& folder, AllSynths& library);

// The kit menu as data: manufacturers, under them models (a model without a
// name puts its kits straight under the manufacturer), under them the kits.
struct KitMenuNode {
    std::string Caption;
    const Drumkit* Kit = nullptr;  // set on a kit item
    std::vector<KitMenuNode> Children;
};
std::vector<KitMenuNode> BuildKitMenuTree(const AllSynths& library);

// "(" model ")  " kit, or the kit alone when the model has no name.
std::string KitCaption(const Drumkit& kit);

}  // namespace morvelant
