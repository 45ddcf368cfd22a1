#pragma once

#include <QString>

#include <functional>

namespace quorvane {

class DesktopOpener;
class MessageBox;
class ProgramStarter;

// The shared module: opens a target through the desktop, and when the desktop cannot,
// says so and offers to pick a program to open it with.
class modpublic {
public:
    // The services shellopen uses; the real ones unless a test put others in place.
    struct Services {
        DesktopOpener* opener = nullptr;
        MessageBox* messages = nullptr;
        ProgramStarter* starter = nullptr;
        // Lets the user pick a program to open the target with; empty when none was picked.
        std::function<QString(const QString& target)> chooseProgram;
    };

    static void shellopen(const QString& operation, const QString& target,
                          const QString& parameters, const QString& directory, int showcommand);

    // Replaces the services (nullptr members keep the real ones); returns the previous set.
    static Services setServices(const Services& services);

    static constexpr const char* kFallbackMessage = "Couldn't load the default application";
    static constexpr const char* kOpenWithPrefix = "rundll32.exe shell32.dll,OpenAs_RunDLL ";
};

// The download page the link label opens.
inline constexpr const char* kDownloadPage = "http://plumwick.example/free/programs/quorvane/";

}  // namespace quorvane
