#include "SortedComboBox.h"

SortedComboBox::SortedComboBox(QWidget* parent) : QComboBox(parent) {
    // A pure selection list: nothing is selected until the program or the
    // user chooses an entry.
    setEditable(false);
    setCurrentIndex(-1);
}

SortedComboBox::~SortedComboBox() = default;

void SortedComboBox::SetUpperCase(bool on) {
    upperCase = on;
}

int SortedComboBox::AddSorted(const QString& text, const QVariant& data) {
    const QString shown = upperCase ? text.toUpper() : text;
    int index = 0;
    while (index < count() && QString::compare(itemText(index), shown, Qt::CaseInsensitive) <= 0) {
        ++index;
    }
    const int selected = currentIndex();
    insertItem(index, shown, data);
    // insertItem into an empty list selects the new entry; a sorted list
    // keeps whatever selection it had (none at first).
    setCurrentIndex(selected >= index && selected >= 0 ? selected + 1 : selected);
    return index;
}

int SortedComboBox::SelectPrefix(const QString& prefix, int startAfter) {
    int found = -1;
    const int total = count();
    if (!prefix.isEmpty() && total > 0) {
        const int first = (startAfter < 0 || startAfter >= total) ? 0 : startAfter + 1;
        for (int step = 0; step < total && found < 0; ++step) {
            const int index = (first + step) % total;
            if (itemText(index).startsWith(prefix, Qt::CaseInsensitive)) {
                found = index;
            }
        }
    }
    setCurrentIndex(found);
    return found;
}

int SortedComboBox::SelectName(const QString& name, int startAfter) {
    if (!name.isEmpty()) {
        for (int index = 0; index < count(); ++index) {
            if (QString::compare(itemText(index), name, Qt::CaseInsensitive) == 0) {
                setCurrentIndex(index);
                return index;
            }
        }
    }
    return SelectPrefix(name, startAfter);
}

QStringList SortedComboBox::Texts() const {
    QStringList texts;
    for (int index = 0; index < count(); ++index) {
        texts << itemText(index);
    }
    return texts;
}
