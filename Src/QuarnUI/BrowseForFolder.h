#pragma once

#include <QString>
#include <cstdint>

class QWidget;

// A folder picker that the caller fills in before use; the main window uses
// it when the stored local folder is invalid at start. The browser is the
// program's folder dialog (Prompter::PickFolder), which offers file-system
// folders only; `title` is the text it shows.
class BrowseForFolder {
public:
    // Browser options kept from the classic interface: only file-system
    // folders (1) and a status line (4).
    static constexpr std::uint32_t ONLY_FILE_SYSTEM_FOLDERS = 1;
    static constexpr std::uint32_t STATUS_LINE = 4;

    QWidget* owner = nullptr;
    // The folder selected when the browser opens.
    QString initialFolder;
    QString title;
    // Where the browser starts when no initial folder is given; empty for
    // the top of the file system.
    QString rootFolder;
    std::uint32_t flags = ONLY_FILE_SYSTEM_FOLDERS | STATUS_LINE;

    // Shows the browser; true when a folder was chosen, its path in `result`
    // (emptied first).
    bool Browse(QString& result) const;
};

// The folder picker of the language page and of the first-run setup. The
// browser shows the caption last set with SetBrowseCaption (or `title` when
// one is given) and starts at `initialPath`, or at `rootPath` when that is
// empty. Cancelled: `result` emptied and false; a folder chosen: its path in
// `result` and true.
bool PickFolder(QString& result, const QString& title, QWidget* owner, const QString& rootPath,
                const QString& initialPath);

// The browser caption of PickFolder, shared by the whole program; the
// language page sets it, and it keeps its last value until changed.
void SetBrowseCaption(const QString& caption);
QString BrowseCaption();
