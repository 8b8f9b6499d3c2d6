#pragma once

#include <QWidget>

// One page of the options sheet. The sheet builds every page with itself but
// initialises a page only when its tab is first shown; only initialised
// pages take part in an apply.
//
// Each page keeps member values apart from its controls and exchanges them
// with UpdateData: when the page leaves the front (and before an apply) the
// controls are stored into the members; when it comes to the front again
// the controls are refreshed from the members.
class PropertyPage : public QWidget {
    Q_OBJECT

public:
    explicit PropertyPage(QWidget* parent = nullptr);
    ~PropertyPage() override;

    // Fills the controls; runs once, when the page is first shown.
    void Initialise();
    bool IsInitialised() const { return initialised; }

    // The page comes to the front. The default refreshes the controls from
    // the members on every activation after the first.
    virtual void OnSetActive();
    // The page leaves the front, or an apply is about to run.
    virtual void OnKillActive();
    // Takes the page's values into effect; false keeps the sheet open.
    virtual bool OnApply();

    // A changed page lets the sheet enable its Apply button.
    void SetModified(bool changed);
    bool IsModified() const { return modified; }

signals:
    void ModifiedChanged(bool changed);

protected:
    virtual void OnInitDialog() = 0;
    // true: controls into members; false: members into controls.
    virtual void UpdateData(bool saveAndValidate) = 0;

private:
    bool initialised = false;
    bool activatedBefore = false;
    bool modified = false;
};
