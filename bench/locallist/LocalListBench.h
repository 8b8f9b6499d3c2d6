// Times the local file list on a large folder: listing a folder of many
// files into a LocalFileList and sorting the list by each of its columns,
// each measured with the window events it causes (layout and painting of the
// shown list on the offscreen platform).
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <vector>

class LocalListBench {
public:
    struct Timing {
        QString what;
        double seconds = 0.0;
        int rows = 0;
    };

    // Fills a temporary folder with `files` files of varied sizes, dates and
    // write permissions.
    explicit LocalListBench(int files);

    bool IsReady() const { return m_ready; }
    QString Folder() const { return m_dir.path(); }

    // Lists the folder into a shown list, then sorts it by every column,
    // first ascending and then descending (the second click on a heading).
    // In service mode the list also keeps the marks of every file in a file
    // library. Each step is run `repeat` times; the median is kept.
    std::vector<Timing> Run(bool serviceMode, int repeat);

private:
    bool Populate(int files);

    QTemporaryDir m_dir;
    bool m_ready = false;
};
