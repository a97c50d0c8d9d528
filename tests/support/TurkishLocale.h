// The Turkish locale for the C library, in which 'i' and 'I' are not each
// other's case: the locale is compiled once into the test's temporary folder
// (the machine need not have it installed) and made the process's locale for
// the life of the object. Available() is false where it cannot be built.
#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace morvelant::testsupport {

class TurkishLocale {
public:
    TurkishLocale() {
        namespace fs = std::filesystem;
        const fs::path root = fs::temp_directory_path() / ("locales-" + std::to_string(::getuid()));
        const fs::path built = root / "tr_TR.UTF-8";
        if (!fs::exists(built / "LC_CTYPE")) {
            std::error_code ec;
            fs::create_directories(root, ec);
            // Built aside and renamed into place, so that test programs
            // running at once never see half a locale.
            const fs::path mine = root / ("tr_TR.UTF-8." + std::to_string(::getpid()));
            const std::string command = "localedef -i tr_TR -f UTF-8 '" + mine.string() + "' >/dev/null 2>&1";
            std::system(command.c_str());
            if (fs::exists(mine / "LC_CTYPE")) fs::rename(mine, built, ec);
            fs::remove_all(mine, ec);
            if (!fs::exists(built / "LC_CTYPE")) return;
        }
        ::setenv("LOCPATH", root.c_str(), 1);
        const char* previous = std::setlocale(LC_ALL, nullptr);
        previous_ = previous ? previous : "C";
        available_ = std::setlocale(LC_ALL, "tr_TR.UTF-8") != nullptr;
    }
    ~TurkishLocale() {
        std::setlocale(LC_ALL, previous_.c_str());
        ::unsetenv("LOCPATH");
    }
    TurkishLocale(const TurkishLocale&) = delete;
    TurkishLocale& operator=(const TurkishLocale&) = delete;

    bool Available() const { return available_; }

private:
    bool available_ = false;
    std::string previous_ = "C";
};

}  // namespace morvelant::testsupport
