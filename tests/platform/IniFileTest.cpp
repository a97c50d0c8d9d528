// The profile-file behaviour the configuration relies on: names without
// regard to case, defaults, numbers, in-place edits, section erase, key order.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/IniFile.h"

namespace morvelant {
namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/inifile-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        path = dir + "/Morvelant.cfg";
    }
    void TearDown() override {
        std::remove(path.c_str());
        ::rmdir(dir.c_str());
    }
    void Put(const std::string& text) {
        std::ofstream f(path, std::ios::binary);
        f << text;
    }
    std::string Get() const {
        std::ifstream f(path, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    std::string dir, path;
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "K", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("S", "K", 42), 42);
    EXPECT_TRUE(ini.ReadBool("S", "K", true));
    EXPECT_TRUE(ini.ReadSection("S").empty());
    Put("[Other]\r\nK=1\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Other", "Missing", 7), 7);
}

TEST_F(IniFileTest, NamesMatchWithoutRegardToCaseAndBlanksAndQuotesGo) {
    Put("[Midi Settings Form]\r\n  Preset Delay = 1500 \r\nName=\"  spaced  \"\r\n[ÄRGER]\r\nkey=ä\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("MIDI SETTINGS FORM", "preset delay", 0), 1500);
    EXPECT_EQ(ini.ReadString("midi settings form", "NAME", ""), "  spaced  ");
    // Windows-1252 letters fold too (written here as Latin-1 bytes).
    TIniFile ini2(path);
    Put("[\xC4RGER]\r\nkey=1\r\n");
    EXPECT_EQ(ini2.ReadInteger("\xE4rger", "KEY", 0), 1);
}

TEST_F(IniFileTest, IntegersAreDecimalOrHexAndAnythingElseGivesTheDefault) {
    Put("[N]\r\na=123\r\nb=-45\r\nc=0x1F\r\nd=0XfF\r\ne=12abc\r\nf=\r\ng=abc\r\nh=0x\r\ni=99999999999\r\n"
        "j=0xFFFFFFFF\r\nk=2147483647\r\nl=-2147483648\r\nm=2147483648\r\nn=1.5\r\no=+7\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("N", "a", 0), 123);
    EXPECT_EQ(ini.ReadInteger("N", "b", 0), -45);
    EXPECT_EQ(ini.ReadInteger("N", "c", 0), 31);
    EXPECT_EQ(ini.ReadInteger("N", "d", 0), 255);
    EXPECT_EQ(ini.ReadInteger("N", "e", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "f", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "g", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "h", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "i", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "j", 0), -1);
    EXPECT_EQ(ini.ReadInteger("N", "k", 0), 2147483647);
    EXPECT_EQ(ini.ReadInteger("N", "l", 0), -2147483647 - 1);
    EXPECT_EQ(ini.ReadInteger("N", "m", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "n", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "o", 0), 7);
}

TEST_F(IniFileTest, BoolsAreNumbersAndAreWrittenOneAndZero) {
    Put("[B]\r\nzero=0\r\none=1\r\ntwo=2\r\nneg=-1\r\nword=true\r\n");
    TIniFile ini(path);
    EXPECT_FALSE(ini.ReadBool("B", "zero", true));
    EXPECT_TRUE(ini.ReadBool("B", "one", false));
    EXPECT_TRUE(ini.ReadBool("B", "two", false));
    EXPECT_TRUE(ini.ReadBool("B", "neg", false));
    EXPECT_FALSE(ini.ReadBool("B", "word", false));  // not a number: default
    EXPECT_TRUE(ini.ReadBool("B", "word", true));
    ASSERT_TRUE(ini.WriteBool("B", "new", true));
    ASSERT_TRUE(ini.WriteBool("B", "zero", false));
    EXPECT_NE(Get().find("new=1\r\n"), std::string::npos);
    EXPECT_NE(Get().find("zero=0\r\n"), std::string::npos);
}

TEST_F(IniFileTest, WritingEditsOneLineInPlaceAndKeepsEveryOtherLine) {
    const std::string before =
        "; the editor's settings\r\n[First]\r\nA=1\r\n  b = two  \r\nC=3\r\n\r\n[Second]\r\nX=9\r\n";
    Put(before);
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString("FIRST", "B", "zwei"));
    EXPECT_EQ(Get(), "; the editor's settings\r\n[First]\r\nA=1\r\nB=zwei\r\nC=3\r\n\r\n[Second]\r\nX=9\r\n");
    // A new key goes to the end of its section, before the blank separator.
    ASSERT_TRUE(ini.WriteInteger("first", "D", 4));
    EXPECT_EQ(Get(), "; the editor's settings\r\n[First]\r\nA=1\r\nB=zwei\r\nC=3\r\nD=4\r\n\r\n[Second]\r\nX=9\r\n");
    // A new section goes to the end of the file.
    ASSERT_TRUE(ini.WriteString("Third", "Z", "last"));
    EXPECT_EQ(Get(),
              "; the editor's settings\r\n[First]\r\nA=1\r\nB=zwei\r\nC=3\r\nD=4\r\n\r\n[Second]\r\nX=9\r\n\r\n"
              "[Third]\r\nZ=last\r\n");
    EXPECT_EQ(ini.ReadString("third", "z", ""), "last");
}

TEST_F(IniFileTest, FileWithUnixLineEndsKeepsThemAndNewFileGetsCrLf) {
    Put("[S]\nA=1");
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString("S", "B", "2"));
    EXPECT_EQ(Get(), "[S]\nA=1\nB=2\n");
    std::remove(path.c_str());
    ASSERT_TRUE(ini.WriteString("S", "A", "1"));
    EXPECT_EQ(Get(), "[S]\r\nA=1\r\n");
}

TEST_F(IniFileTest, ValuesWithLineBreaksStayOnOneLine) {
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString("S", "A", "one\r\ntwo"));
    ASSERT_TRUE(ini.WriteString("S", "B", "x"));
    EXPECT_EQ(ini.ReadSection("S"), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(ini.ReadString("S", "A", ""), "one  two");
}

// Stray carriage returns (a file from another system) are blanks: every name
// the file lists can be read and written back under that name.
TEST_F(IniFileTest, StrayCarriageReturnsAroundAndInsideNamesAreBlanks) {
    Put("\r[Main\rForm]\nKey\r2=5\r\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"Main Form"});
    EXPECT_EQ(ini.ReadSection("Main Form"), std::vector<std::string>{"Key 2"});
    EXPECT_EQ(ini.ReadInteger("Main Form", "Key 2", 0), 5);
    ASSERT_TRUE(ini.WriteString("Main Form", "Key 2", "7"));
    EXPECT_EQ(ini.ReadString("Main Form", "Key 2", ""), "7");
    EXPECT_EQ(ini.ReadSections().size(), 1u);
}

TEST_F(IniFileTest, SectionKeysComeInFileOrderOnceEach) {
    Put("[Ports]\r\nZeta=1\r\nalpha=2\r\n;comment=3\r\nnot a key\r\nMiddle=4\r\nZETA=5\r\n[Other]\r\nq=1\r\n"
        "[ports]\r\nLate=6\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadSection("PORTS"), (std::vector<std::string>{"Zeta", "alpha", "Middle", "Late"}));
    EXPECT_EQ(ini.ReadInteger("Ports", "zeta", 0), 1);  // the first occurrence counts
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Ports", "Other"}));
    EXPECT_TRUE(ini.SectionExists("other"));
    EXPECT_FALSE(ini.SectionExists("none"));
    EXPECT_TRUE(ini.ValueExists("ports", "LATE"));
    EXPECT_FALSE(ini.ValueExists("ports", "comment"));
    // With their values as ReadString reads them.
    using KV = std::pair<std::string, std::string>;
    EXPECT_EQ(ini.ReadSectionValues("ports"),
              (std::vector<KV>{{"Zeta", "1"}, {"alpha", "2"}, {"Middle", "4"}, {"Late", "6"}}));
    EXPECT_TRUE(IniNameLess("acme", "Beta"));
    EXPECT_FALSE(IniNameLess("ACME", "acme"));
}

// The one-pass read of every section gives what a read of each section
// would, for files with repeated sections and keys in other letter cases,
// keys before the first section, comments and an empty section name.
TEST_F(IniFileTest, AllSectionsInOnePassReadAsEachSectionAlone) {
    for (const char* text : {
             "[Ports]\r\nZeta=1\r\nalpha=2\r\n;c=3\r\nZETA=5\r\n[Other]\r\nq=1\r\n[ports]\r\nLate=6\r\nalpha=7\r\n",
             "orphan=1\n[]\nx=\"quoted\"\n[A]\n[a]\nk = v \n[B]\n",
             "",
             "[\xC4rger]\nk=1\n[\xE4RGER]\nK=2\nj=3\n",
         }) {
        Put(text);
        const TIniFile ini(path);
        std::vector<std::pair<std::string, TIniFile::SectionValues>> each;
        for (const std::string& section : ini.ReadSections()) each.emplace_back(section, ini.ReadSectionValues(section));
        EXPECT_EQ(ini.ReadAllSectionValues(), each) << text;
    }
}

TEST_F(IniFileTest, EraseSectionRemovesEveryOccurrenceAndKeepsTheRest) {
    Put("[Keep]\r\nA=1\r\n[Gone]\r\nB=2\r\nC=3\r\n[Keep2]\r\nD=4\r\n[gone]\r\nE=5\r\n");
    TIniFile ini(path);
    ASSERT_TRUE(ini.EraseSection("GONE"));
    EXPECT_EQ(Get(), "[Keep]\r\nA=1\r\n[Keep2]\r\nD=4\r\n");
    EXPECT_TRUE(ini.ReadSection("Gone").empty());
    EXPECT_TRUE(ini.EraseSection("never there"));
    EXPECT_EQ(Get(), "[Keep]\r\nA=1\r\n[Keep2]\r\nD=4\r\n");
    ASSERT_TRUE(ini.DeleteKey("keep", "a"));
    EXPECT_EQ(Get(), "[Keep]\r\n[Keep2]\r\nD=4\r\n");
}

TEST_F(IniFileTest, EachCallSeesTheFileAsItIsNow) {
    TIniFile a(path), b(path);
    ASSERT_TRUE(a.WriteInteger("S", "K", 1));
    EXPECT_EQ(b.ReadInteger("S", "K", 0), 1);
    ASSERT_TRUE(b.WriteInteger("S", "K", 2));
    EXPECT_EQ(a.ReadInteger("S", "K", 0), 2);
}

TEST_F(IniFileTest, AFailedWriteLeavesTheFileAsItWasAndSaysSo) {
    TIniFile missingFolder(dir + "/no such folder/x.cfg");
    EXPECT_FALSE(missingFolder.WriteString("S", "K", "v"));
    EXPECT_EQ(missingFolder.ReadString("S", "K", "d"), "d");

    Put("[S]\r\nK=old\r\n");
    ASSERT_EQ(::chmod(dir.c_str(), 0500), 0);  // no temporary file can be made
    TIniFile ini(path);
    const bool wrote = ini.WriteString("S", "K", "new");
    ::chmod(dir.c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_FALSE(wrote);
        EXPECT_EQ(Get(), "[S]\r\nK=old\r\n");
    }
    // No temporary file is left behind.
    int entries = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++entries;
        ::closedir(d);
    }
    EXPECT_EQ(entries, 1);
}

ino_t Inode(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(IniFileTest, AHeldFileIsReadOnceAndWrittenOnceAtTheEndOnlyWhenChanged) {
    Put("; kept\n[Midi Settings Form]\nPreset Delay=500\n\n[Other]\nK=1\n");
    const ino_t before = Inode(path);
    {
        IniFileHold hold(path);
        ASSERT_TRUE(hold.Readable());
        TIniFile a(path), b(dir + "/./Morvelant.cfg");  // the same file, however named
        EXPECT_TRUE(a.WriteInteger("midi settings form", "Preset Delay", 500));  // unchanged
        EXPECT_FALSE(hold.Changed());
        EXPECT_TRUE(a.WriteInteger("Midi Settings Form", "Pattern Delay", 700));
        EXPECT_TRUE(a.WriteBool("New", "Flag", true));
        EXPECT_TRUE(b.DeleteKey("other", "k"));
        EXPECT_EQ(b.ReadInteger("Midi Settings Form", "Pattern Delay", 0), 700);
        EXPECT_FALSE(b.ValueExists("Other", "K"));
        // Nothing reaches the disk before the hold ends.
        EXPECT_EQ(Get(), "; kept\n[Midi Settings Form]\nPreset Delay=500\n\n[Other]\nK=1\n");
        EXPECT_TRUE(hold.Changed());
    }
    EXPECT_EQ(Get(), "; kept\n[Midi Settings Form]\nPreset Delay=500\nPattern Delay=700\n\n[Other]\n\n[New]\nFlag=1\n");
    // Unchanged values leave the file as it is: not even replaced.
    const ino_t written = Inode(path);
    EXPECT_NE(written, before);
    {
        IniFileHold hold(path);
        TIniFile(path).WriteInteger("New", "Flag", 1);
        EXPECT_TRUE(TIniFile(path).UpdateFile());
    }
    EXPECT_EQ(Inode(path), written);
}

TEST_F(IniFileTest, AFileThatCannotBeReadGivesDefaultsAndIsNeverWritten) {
    struct Case {
        const char* what;
        std::string content;  // empty: a folder of that name
    };
    const Case cases[] = {
        {"binary data", std::string("[S]\r\nK=1\r\n\0\x01\x02junk", 17)},
        {"a folder", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(path.c_str());
        if (c.content.empty())
            ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
        else
            Put(c.content);
        {
            IniFileHold hold(path);
            EXPECT_FALSE(hold.Readable());
            EXPECT_NE(hold.ReadError().find(path), std::string::npos) << hold.ReadError();
            TIniFile ini(path);
            EXPECT_EQ(ini.ReadInteger("S", "K", 9), 9);
            EXPECT_FALSE(ini.WriteInteger("S", "K", 2));
            EXPECT_FALSE(TIniFile(path).EraseSection("S"));
        }
        if (c.content.empty())
            EXPECT_EQ(::rmdir(path.c_str()), 0);
        else
            EXPECT_EQ(Get(), c.content);
    }
}

// A configuration of 15 MB (a user's file grown by another program): held,
// read and written many times, and written back with every line kept.
TEST_F(IniFileTest, ALargeHeldFileKeepsEveryLine) {
    std::string big = "[Options]\r\nSelected Fader=3\r\n";
    for (int s = 0; big.size() < (15u << 20); ++s) {
        big += "[Section " + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 40; ++k) big += "Key" + std::to_string(k) + "=" + std::string(60, 'v') + "\r\n";
    }
    Put(big);
    {
        IniFileHold hold(path);
        ASSERT_TRUE(hold.Readable());
        TIniFile ini(path);
        for (int i = 0; i < 300; ++i) {
            EXPECT_EQ(ini.ReadInteger("options", "selected fader", 0), 3);
            ini.WriteInteger("Window " + std::to_string(i % 30), "Top", i);
        }
        EXPECT_EQ(ini.ReadSection("Section 7").size(), 40u);
    }
    const std::string after = Get();
    EXPECT_EQ(after.substr(0, big.size()), big);
    EXPECT_NE(after.find("[Window 29]\r\nTop=299\r\n"), std::string::npos);
}

}  // namespace
}  // namespace morvelant
