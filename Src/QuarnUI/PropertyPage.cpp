#include "PropertyPage.h"

PropertyPage::PropertyPage(QWidget* parent) : QWidget(parent) {}

PropertyPage::~PropertyPage() = default;

void PropertyPage::Initialise() {
    if (initialised) {
        return;
    }
    initialised = true;
    OnInitDialog();
}

void PropertyPage::OnSetActive() {
    if (activatedBefore) {
        UpdateData(false);
    }
    activatedBefore = true;
}

void PropertyPage::OnKillActive() {
    UpdateData(true);
}

bool PropertyPage::OnApply() {
    return true;
}

void PropertyPage::SetModified(bool changed) {
    modified = changed;
    emit ModifiedChanged(changed);
}
