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
    // Receives the program the user picked to open a target with.
    using ProgramChosen = std::function<void(const QString& program)>;

    // What shellopen works through; a null member (an empty chooser) means the real one.
    // The caller keeps them alive for as long as a picked program may still be started.
    struct Services {
        DesktopOpener* opener = nullptr;
        MessageBox* messages = nullptr;
        ProgramStarter* starter = nullptr;
        // Lets the user pick a program to open the target with and returns at once, before
        // the pick: calls done later with the program, or never when the user picks none.
        std::function<void(const QString& target, ProgramChosen done)> chooseProgram;
    };

    // Returns nothing and reports nothing: the one failure the user hears of is the
    // desktop not opening the target, and that is told to the user directly.
    static void shellopen(const Services& services, const QString& operation, const QString& target,
                          const QString& parameters, const QString& directory, int showcommand);

    // The real program chooser: a file dialog in the system's program folder, shown without
    // waiting for it (the window and a running count carry on meanwhile). It deletes itself
    // when closed; done hears of a picked program only. Without a widget application nothing
    // is shown and done is never called.
    static void chooseProgramWithDialog(const QString& target, ProgramChosen done);

    static constexpr const char* kFallbackMessage = "Couldn't load the default application";
    static constexpr const char* kOpenWithPrefix = "rundll32.exe shell32.dll,OpenAs_RunDLL ";
    static constexpr const char* kOpenWithTitle = "Open With";
    static constexpr const char* kProgramFolder = "/usr/bin";
};

// The download page the link label opens.
inline constexpr const char* kDownloadPage = "http://plumwick.example/free/programs/quorvane/";

}  // namespace quorvane
