#pragma once

#include <QComboBox>
#include <QString>
#include <QVariant>

// A drop-down list that keeps its entries sorted by text, compared without
// regard to letter case, the way a sorted list control does: "AUTO" comes
// before "COM 1", and "COM 10" between "COM 1" and "COM 2".
class SortedComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit SortedComboBox(QWidget* parent = nullptr);
    ~SortedComboBox() override;

    // Entries added from now on are shown in upper case.
    void SetUpperCase(bool upperCase);

    // Adds `text` with `data` at its sorted place (after entries of equal
    // text) and returns its index.
    int AddSorted(const QString& text, const QVariant& data = QVariant());

    // Selects the first entry whose text begins with `prefix`, letter case
    // ignored, searching from the entry after `startAfter` to the end and
    // then from the top (-1 searches from the top). Without a match, or
    // with an empty prefix, no entry is selected. Returns the index or -1.
    int SelectPrefix(const QString& prefix, int startAfter = -1);

    // Selects the entry named `name` (letter case ignored) when there is
    // one; otherwise as SelectPrefix. An entry that merely begins with the
    // name must not win over the entry of that very name.
    int SelectName(const QString& name, int startAfter = -1);

    // The entry texts, top to bottom.
    QStringList Texts() const;

private:
    bool upperCase = false;
};
