// The drum kit library read from a folder of definition files: the first
// definition of a kit wins in name order, names match without regard to
// letter case, a model without a name files its kits under the
// manufacturer, a section without keys gives an unnamed kit; and the menu
// tree built from it. The random fill of the track tools with a fixed
// generator, and the range bounds.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "patterns/DrumkitLibrary.h"
#include "patterns/PickerProtocol.h"
#include "patterns/TrackTools.h"

namespace morvelant {
namespace {

void WriteFile(const QString& path, const std::string& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
}

std::vector<std::string> Captions(const std::vector<KitMenuNode>& nodes) {
    std::vector<std::string> out;
    for (const auto& n : nodes) out.push_back(n.Caption);
    return out;
}

TEST(DrumkitLibraryTest, ReadsAFolderOfKitFiles) {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    // "b.mvd" comes after "A.MVD" by name: its "Standard" loses to A's.
    WriteFile(d + "A.MVD",
              "[k1]\r\nmanufacturer=Acme\r\nmodel=R8\r\ndrumkit=Standard\r\n36=Kick A\r\n\r\n"
              "[k2]\r\nManufacturer=ACME\r\nMODEL=\r\ndrumkit=Rock & Roll\r\n38=Snare\r\n\r\n[empty]\r\n");
    WriteFile(d + "b.mvd",
              "[x]\r\nmanufacturer=acme\r\nmodel=r8\r\ndrumkit=STANDARD\r\n36=Kick B\r\n\r\n"
              "[y]\r\nmanufacturer=Zeta\r\nmodel=Z1\r\ndrumkit=Jazz\r\n127=Last\r\n128=Beyond\r\n");
    WriteFile(d + "notes.txt", "[z]\r\nmanufacturer=Ignored\r\n");
    AllSynths lib;
    ReadDrumkitFolder(d.toStdString(), lib);

    // One "Acme" whatever the spelling, the first spelling shown; the kit
    // without keys under an unnamed manufacturer, sorted first.
    EXPECT_EQ(lib.ManufacturerNames.Items(), (std::vector<std::string>{"", "Acme", "Zeta"}));
    const Manufacturer* acme = lib.FindManufacturer("ACME");
    ASSERT_NE(acme, nullptr);
    EXPECT_EQ(acme->ModelNames.Items(), (std::vector<std::string>{"", "R8"}));
    const Drumkit* standard = acme->FindModel("r8")->FindDrumkit("standard");
    ASSERT_NE(standard, nullptr);
    EXPECT_EQ(standard->Names[36], "Kick A");
    EXPECT_EQ(KitCaption(*standard), "(R8)  Standard");
    const Drumkit* jazz = lib.FindManufacturer("Zeta")->FindModel("Z1")->FindDrumkit("Jazz");
    EXPECT_EQ(jazz->Names[127], "Last");
    const Drumkit* unnamed = lib.FindManufacturer("")->FindModel("")->FindDrumkit("");
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->Names[0], "");

    // The menu: kits of an unnamed model straight under the manufacturer.
    const auto tree = BuildKitMenuTree(lib);
    EXPECT_EQ(Captions(tree), (std::vector<std::string>{"", "Acme", "Zeta"}));
    EXPECT_EQ(Captions(tree[1].Children), (std::vector<std::string>{"Rock & Roll", "R8"}));
    EXPECT_NE(tree[1].Children[0].Kit, nullptr);
    EXPECT_EQ(tree[1].Children[1].Kit, nullptr);
    EXPECT_EQ(tree[1].Children[1].Children[0].Kit, standard);
    EXPECT_EQ(KitCaption(*tree[1].Children[0].Kit), "Rock & Roll");
}

TEST(DrumkitLibraryTest, AMissingFolderLeavesTheLibraryEmpty) {
    AllSynths lib;
    ReadDrumkitFolder("/nonexistent/Drumkits/", lib);
    EXPECT_TRUE(lib.Empty());
    EXPECT_TRUE(BuildKitMenuTree(lib).empty());
}

TEST(DrumkitLibraryTest, TheShippedKitNamesTheGeneralMidiPercussion) {
    const auto kits = ReadDrumkitFile(std::string(MORVELANT_SOURCE_DIR) + "/patterns/Drumkits/GM.MVD");
    ASSERT_EQ(kits.size(), 1u);
    EXPECT_EQ(kits[0].Names[35], "Acoustic Bass Drum");
    EXPECT_EQ(kits[0].Names[81], "Open Triangle");
    EXPECT_EQ(kits[0].Names[34], "");
    EXPECT_EQ(kits[0].Names[82], "");
}

// Numbers 0, 1, 2, ... so the fill is predictable.
RandomSource Counter() {
    return [n = 0u]() mutable { return n++; };
}

TEST(TrackToolsTest, RandomFillStaysInTheRangeAndTheSteps) {
    const struct {
        int start, end, min, max;
        std::vector<int> notes;  // steps 1..16 of track 3 afterwards (all 5 before)
    } rows[] = {
        {1, 16, 60, 60, std::vector<int>(16, 60)},
        {5, 8, 10, 11, {5, 5, 5, 5, 10, 11, 10, 11, 5, 5, 5, 5, 5, 5, 5, 5}},
        {15, 20, 0, 127, {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 0, 1}},  // only up to step 16
        {9, 4, 0, 127, std::vector<int>(16, 5)},  // start after end: nothing
        {1, 2, -50, 300, {0, 1, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}},  // range kept in 0..127
    };
    for (const auto& r : rows) {
        Pattern_Parameters p;
        for (int s = 0; s < 16; ++s) p.StepNote(2, s) = 5;
        p.TrackStartStep(2) = r.start;
        p.TrackEndStep(2) = r.end;
        RandomFill(p, 2, true, r.min, r.max, Counter());
        std::vector<int> got;
        for (int s = 0; s < 16; ++s) got.push_back(p.StepNote(2, s));
        EXPECT_EQ(got, r.notes) << r.start << ".." << r.end;
        EXPECT_EQ(p.StepVelocity(2, 0), 0);
    }
}

TEST(TrackToolsTest, BoundsKeepTheirOrderAndRange) {
    TrackToolRanges r;
    EXPECT_FALSE(r.StepBound(kMaxVelocityCode, +1));  // already 127
    EXPECT_TRUE(r.SetBound(kMaxVelocityCode, 80));
    EXPECT_FALSE(r.SetBound(kMinVelocityCode, 90));  // above the maximum
    EXPECT_EQ(r.MinVelocity, 0);
    EXPECT_FALSE(r.SetBound(kMinVelocityCode, -1));
    EXPECT_TRUE(r.SetBound(kMinNoteCode, 60));
    EXPECT_TRUE(r.SetBound(kMaxNoteCode, 60));
    EXPECT_FALSE(r.StepBound(kMinNoteCode, +1));
    EXPECT_FALSE(r.SetBound(kMaxNoteCode, 128));
    EXPECT_FALSE(r.SetBound(9, 1));
}

}  // namespace
}  // namespace morvelant
