// Every environment variable the program reads (the editor, the driver
// library and the toolkit) is in the README's Environment list, and those
// that exist for tests are listed as such: a variable that changes what the
// program does and is said nowhere is a behaviour a user cannot find.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The names read through getenv, qgetenv and qEnvironmentVariable* in the
// program's folders (not tests, benchmarks or fuzz targets).
std::set<std::string> VariablesRead() {
    static const QRegularExpression read(
        QStringLiteral(R"re(\b(?:getenv|secure_getenv|qgetenv|qEnvironmentVariable\w*)\s*\(\s*"([A-Za-z_][A-Za-z0-9_]*)")re"));
    std::set<std::string> names;
    for (const char* folder : {"driver", "midikit", "model", "engine", "platform", "shell", "presets", "faders",
                               "patterns", "app"}) {
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(MORVELANT_SOURCE_DIR) / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h" && ext != ".c") continue;
            const QString text = QString::fromStdString(ReadAll(entry.path()));
            for (auto m = read.globalMatch(text); m.hasNext();) names.insert(m.next().captured(1).toStdString());
        }
    }
    return names;
}

// The README's Environment section, and the part of it for tests only.
struct EnvironmentSection {
    std::string all, testsOnly;
};

EnvironmentSection ReadmeEnvironment() {
    const std::string readme = ReadAll(fs::path(MORVELANT_SOURCE_DIR) / "README.md");
    EnvironmentSection s;
    const size_t from = readme.find("\n## Environment");
    if (from == std::string::npos) return s;
    const size_t to = readme.find("\n## ", from + 1);
    s.all = readme.substr(from, to == std::string::npos ? std::string::npos : to - from);
    const size_t tests = s.all.find("For tests only");
    if (tests != std::string::npos) s.testsOnly = s.all.substr(tests);
    return s;
}

TEST(EnvironmentList, EveryVariableTheProgramReadsIsListed) {
    const std::set<std::string> names = VariablesRead();
    // The scan itself works: variables known to be read are found.
    for (const char* known : {"MIDIKIT_BACKEND", "MIDIKIT_PIPEWIRE_LIBJACK", "XDG_RUNTIME_DIR"})
        ASSERT_TRUE(names.count(known)) << known << " was not found by the scan";
    const EnvironmentSection readme = ReadmeEnvironment();
    ASSERT_FALSE(readme.all.empty()) << "README.md has no Environment section";
    for (const std::string& name : names)
        EXPECT_NE(readme.all.find("`" + name + "`"), std::string::npos)
            << name << " is read by the program but not in the README's Environment list";
}

TEST(EnvironmentList, VariablesForTestsAreSaidToBe) {
    const EnvironmentSection readme = ReadmeEnvironment();
    ASSERT_FALSE(readme.testsOnly.empty()) << "the Environment list has no \"For tests only\" part";
    for (const char* name : {"MIDIKIT_LOOPBACK_NAMES", "MIDIKIT_PIPEWIRE_LIBJACK", "MORVELANT_EXIT_AFTER_START"})
        EXPECT_NE(readme.testsOnly.find(std::string("`") + name + "`"), std::string::npos)
            << name << " exists for tests and is not listed among the variables for tests";
}

}  // namespace
