#include "PropPageCom.h"

#include "ComPortSelector.h"
#include "IniEx.h"
#include "LanguageReader.h"
#include "MainWindowMessages.h"
#include "SettingsKeys.h"
#include "SortedComboBox.h"
#include "TextKeys.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The parity entries in the order they are added, with the letter each
// stands for in "COM_PARITY".
struct ParityEntry {
    const char* textKey;
    char letter;
};
constexpr ParityEntry PARITY_ENTRIES[] = {
    {TextKeys::DRP_NONE, 'N'}, {TextKeys::DRP_ODD, 'O'},   {TextKeys::DRP_EVEN, 'E'},
    {TextKeys::DRP_MARK, 'M'}, {TextKeys::DRP_SPACE, 'S'},
};

// The fixed entries of the line-setting lists, in the order they are added.
const char* const DATA_BITS[] = {"8", "7", "6"};
const char* const STOP_BITS[] = {"1", "1.5", "2"};
const char* const BAUD_RATES[] = {"19200", "9600", "2400", "1200", "300"};

// A number as the C library's atoi reads it: blanks, a sign, then the
// leading digits; 0 when there are none.
int LeadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9');
         ++i) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > 0x7fffffffLL) {
            value = 0x7fffffffLL;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

SortedComboBox* MakeList(const char* objectName, QWidget* parent) {
    auto* list = new SortedComboBox(parent);
    list->setObjectName(QLatin1String(objectName));
    list->setEnabled(false);
    return list;
}

// Labels and group boxes start with their text keys as captions, as the
// page layout has them; the page puts the texts in when it comes to the
// front.
QLabel* MakeLabel(const char* objectName, const char* key, QWidget* parent) {
    auto* label = new QLabel(QLatin1String(key), parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

QString SelectedText(const SortedComboBox* list) {
    return list->currentIndex() >= 0 ? list->currentText() : QString();
}

} // namespace

CPropPageCom::CPropPageCom(MainWindowMessages& mainWindow, QWidget* parent)
    : PropertyPage(parent), mainWindow(mainWindow) {
    setObjectName(QStringLiteral("pageCom"));

    portGroup = new QGroupBox(QLatin1String(TextKeys::LBL_SELECT_COMPORT), this);
    portGroup->setObjectName(QStringLiteral("ctl1012"));
    portSelector = new ComPortSelector(mainWindow, portGroup);
    portSelector->setObjectName(QStringLiteral("ctl1011"));
    auto* portLayout = new QVBoxLayout(portGroup);
    portLayout->addWidget(portSelector);

    auto* lineGroup = new QGroupBox(this);
    lineGroup->setObjectName(QStringLiteral("ctl1013"));
    parityLabel = MakeLabel("ctl1020", TextKeys::LBL_PARITY, lineGroup);
    stopBitsLabel = MakeLabel("ctl1022", TextKeys::LBL_STOPBIT, lineGroup);
    dataBitsLabel = MakeLabel("ctl1021", TextKeys::LBL_DATABIT, lineGroup);
    baudLabel = MakeLabel("ctl1023", TextKeys::LBL_BAUD, lineGroup);
    parityList = MakeList("ctl1016", lineGroup);
    parityList->SetUpperCase(true);
    stopBitsList = MakeList("ctl1018", lineGroup);
    dataBitsList = MakeList("ctl1017", lineGroup);
    baudList = MakeList("ctl1019", lineGroup);
    for (const char* text : DATA_BITS) {
        dataBitsList->AddSorted(QLatin1String(text));
    }
    for (const char* text : STOP_BITS) {
        stopBitsList->AddSorted(QLatin1String(text));
    }
    for (const char* text : BAUD_RATES) {
        baudList->AddSorted(QLatin1String(text));
    }

    auto* lineLayout = new QGridLayout(lineGroup);
    lineLayout->setHorizontalSpacing(12);
    lineLayout->addWidget(parityLabel, 0, 0);
    lineLayout->addWidget(stopBitsLabel, 0, 1);
    lineLayout->addWidget(parityList, 1, 0);
    lineLayout->addWidget(stopBitsList, 1, 1);
    lineLayout->addWidget(dataBitsLabel, 2, 0);
    lineLayout->addWidget(baudLabel, 2, 1);
    lineLayout->addWidget(dataBitsList, 3, 0);
    lineLayout->addWidget(baudList, 3, 1);
    lineLayout->setColumnStretch(0, 1);
    lineLayout->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(portGroup);
    layout->addWidget(lineGroup);
    layout->addStretch();

    connect(portSelector, &QComboBox::activated, this, [this] { SetModified(true); });
}

CPropPageCom::~CPropPageCom() = default;

void CPropPageCom::OnInitDialog() {
    const LanguageReader& texts = mainWindow.LangReader();
    for (const ParityEntry& entry : PARITY_ENTRIES) {
        parityList->AddSorted(texts.GetText(QLatin1String(entry.textKey)),
                              QString(QLatin1Char(entry.letter)));
    }

    const IniEx& settings = mainWindow.Settings();
    const QString section = QLatin1String(SettingsKeys::COM_SETUP);
    storedPort = LeadingNumber(
        settings.ReadValue(section, QLatin1String(SettingsKeys::COM_PORT), QString()));
    // The ports are probed on the device link's thread, after the device
    // operation under way; the list is filled when they have answered.
    portSelector->FillPortsLater([this](bool) {
        portSelector->AddSorted(QStringLiteral("AUTO"), 0);
        portSelector->SelectPort(storedPort);
    });

    baudText = settings.ReadValue(section, QLatin1String(SettingsKeys::COM_BAUD), QString());
    // A rate in use that the list does not offer (115200, say) is added to
    // it, so the page shows the rate the line runs at rather than nothing.
    bool offered = baudText.isEmpty();
    for (int i = 0; i < baudList->count() && !offered; ++i) {
        offered = baudList->itemText(i).startsWith(baudText);
    }
    if (!offered) {
        baudList->AddSorted(baudText);
    }
    dataBitsText = settings.ReadValue(section, QLatin1String(SettingsKeys::COM_DATABIT), QString());
    stopBitsText = settings.ReadValue(section, QLatin1String(SettingsKeys::COM_STOPBIT), QString());
    SelectStoredParity(
        settings.ReadValue(section, QLatin1String(SettingsKeys::COM_PARITY), QString()));

    UpdateData(false);
}

// The stored letter (upper case only) names a parity text; the entry showing
// that text is selected. Any other value leaves the list without selection.
void CPropPageCom::SelectStoredParity(const QString& parity) {
    parityList->setCurrentIndex(-1);
    if (parity.isEmpty()) {
        return;
    }
    const QChar letter = parity.at(0);
    for (const ParityEntry& entry : PARITY_ENTRIES) {
        if (letter == QLatin1Char(entry.letter)) {
            const QString text = mainWindow.LangReader().GetText(QLatin1String(entry.textKey));
            parityList->SelectName(text, 0);
            return;
        }
    }
}

void CPropPageCom::OnSetActive() {
    const LanguageReader& texts = mainWindow.LangReader();
    portGroup->setTitle(texts.GetText(QLatin1String(TextKeys::LBL_SELECT_COMPORT)));
    parityLabel->setText(texts.GetText(QLatin1String(TextKeys::LBL_PARITY)));
    dataBitsLabel->setText(texts.GetText(QLatin1String(TextKeys::LBL_DATABIT)));
    stopBitsLabel->setText(texts.GetText(QLatin1String(TextKeys::LBL_STOPBIT)));
    baudLabel->setText(texts.GetText(QLatin1String(TextKeys::LBL_BAUD)));
    PropertyPage::OnSetActive();
}

void CPropPageCom::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        baudText = SelectedText(baudList);
        dataBitsText = SelectedText(dataBitsList);
        stopBitsText = SelectedText(stopBitsList);
    } else {
        // Each list shows the first entry, from the top, that begins with
        // the stored text ("96" shows 9600).
        baudList->SelectPrefix(baudText);
        dataBitsList->SelectPrefix(dataBitsText);
        stopBitsList->SelectPrefix(stopBitsText);
    }
}

bool CPropPageCom::OnApply() {
    const int port = portSelector->GetSelectedPort();
    // With no entry selected (a stored port that is not present and no
    // choice made) the stored port stays as it is.
    if (port >= 0 && port != storedPort) {
        mainWindow.Settings().WriteValue(QLatin1String(SettingsKeys::COM_SETUP),
                                         QLatin1String(SettingsKeys::COM_PORT),
                                         QString::number(port));
        storedPort = port;
        mainWindow.Reconnect();
    }
    return true;
}
