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

    // Returns nothing and reports nothing: the one failure the user hears of is the
    // desktop not opening the target, and that is told to the user directly.
    static void shellopen(const QString& operation, const QString& target,
                          const QString& parameters, const QString& directory, int showcommand);

    // Replaces the services (nullptr members keep the real ones); returns the previous set.
    static Services setServices(const Services& services);

    // The real program chooser: a file dialog in the system's program folder.
    static QString chooseProgramWithDialog(const QString& target);

    static constexpr const char* kFallbackMessage = "Couldn't load the default application";
    static constexpr const char* kOpenWithPrefix = "rundll32.exe shell32.dll,OpenAs_RunDLL ";
    static constexpr const char* kOpenWithTitle = "Open With";
    static constexpr const char* kProgramFolder = "/usr/bin";
};

// The download page the link label opens.
inline constexpr const char* kDownloadPage = "http://plumwick.example/free/programs/quorvane/";

}  // namespace quorvane
