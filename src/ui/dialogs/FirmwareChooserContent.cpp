#include "ui/dialogs/FirmwareChooserContent.h"
#include "content/ContentManager.h"
#include "content/WebTransfer.h"
#include "core/DialogService.h"
#include "core/Settings.h"
#include "core/WebAddress.h"
#include "device/DeviceManager.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/MessageBoxes.h"
#include "ui/dialogs/ModalDialogRunner.h"

namespace
{
    // The highest build number an image can carry (14 bits in its info block).
    constexpr int maxBuildNumber = 16383;

    // A link in a firmware description; it opens through the dialog service.
    class DescriptionLink : public juce::HyperlinkButton
    {
    public:
        DescriptionLink (const juce::String& text, const juce::String& address)
            : juce::HyperlinkButton (text, juce::URL (address)), target (address) {}

    protected:
        void clicked() override { getDialogService().openUrl (target); }

    private:
        juce::String target;
    };
}

//==============================================================================
// The lines of one firmware description, top to bottom: plain text, or links for lines
// with an "href".
class FirmwareChooserContent::DescriptionComponent : public juce::Component
{
public:
    // A note, when given, stands above the lines.
    DescriptionComponent (const juce::XmlElement& descriptionXml, const juce::Font& f, const juce::String& note)
        : font (f)
    {
        juce::XmlElement lines ("description");
        if (note.isNotEmpty())
            lines.createNewChildElement ("line")->addTextElement (note);
        for (auto* line : descriptionXml.getChildWithTagNameIterator ("line"))
            lines.addChildElement (new juce::XmlElement (*line));

        for (auto* line : lines.getChildWithTagNameIterator ("line"))
        {
            const auto text = line->getAllSubText().trim();
            std::unique_ptr<juce::Component> item;
            if (line->hasAttribute ("href"))
            {
                // Only web addresses are followed: anything else in downloaded content
                // (a local path, a script) would be opened as a file. Those lines, and
                // links without an address, point at the maker's web site.
                auto address = line->getStringAttribute ("href").trim();
                if (! isWebAddress (address))
                    address = WebRoot::getDefaultRoot();
                auto link = std::make_unique<DescriptionLink> (text, address);
                link->setFont (font, false, juce::Justification::centredLeft);
                link->setColour (juce::HyperlinkButton::textColourId, paletteColour078);
                item = std::move (link);
            }
            else
            {
                auto label = std::make_unique<juce::Label>();
                label->setText (text, juce::dontSendNotification);
                label->setFont (font);
                label->setColour (juce::Label::textColourId, paletteColour044);
                label->setJustificationType (juce::Justification::topLeft);
                label->setMinimumHorizontalScale (1.0f);
                label->setBorderSize ({ 0, 2, 0, 2 });
                item = std::move (label);
            }
            addAndMakeVisible (*item);
            items.add (item.release());
        }
    }

    // Stacks the lines at this width; a long text line wraps onto as many rows as it needs.
    void layOut (int width)
    {
        width = juce::jmax (1, width);
        const int lineHeight = (int) std::ceil (font.getHeight() * 1.25f);
        int y = 0;
        for (auto* item : items)
        {
            int height = lineHeight;
            if (auto* label = dynamic_cast<juce::Label*> (item))
            {
                juce::AttributedString s;
                s.append (label->getText(), font);
                juce::TextLayout layout;
                layout.createLayout (s, (float) juce::jmax (1, width - 4));
                height = juce::jmax (lineHeight, lineHeight * layout.getNumLines());
            }
            item->setBounds (0, y, width, height);
            y += height;
        }
        setSize (width, y);
    }

    int getNumLines() const noexcept { return items.size(); }
    juce::Component* getLine (int i) const { return items[i]; }

private:
    juce::Font font;
    juce::OwnedArray<juce::Component> items;
};

//==============================================================================
FirmwareChooserContent::FirmwareChooserContent (juce::uint8 product, bool allowCustomUpdate)
    : productId (product)
{
    if (auto* content = getContentManager())
        firmwareList = content->getFirmwareList (productId, true);
    downloading.insertMultiple (0, false, firmwareList.size());

    const float a = 14.0f * getScale();
    font = juce::Font (a);
    const juce::Font bold (a, juce::Font::bold);

    labelVersions.setName ("labelVersions");
    labelVersions.setText ("Versions", juce::dontSendNotification);
    labelDetails.setName ("labelDetails");
    labelDetails.setText ("Details", juce::dontSendNotification);
    for (auto* label : { &labelVersions, &labelDetails })
    {
        label->setFont (bold);
        label->setColour (juce::Label::textColourId, getLookAndFeel().findColour (juce::Label::textColourId));
        addAndMakeVisible (label);
    }

    labelReleaseDate.setName ("labelReleaseDate");
    labelReleaseDate.setFont (bold);
    labelReleaseDate.setJustificationType (juce::Justification::centredRight);
    labelReleaseDate.setColour (juce::Label::textColourId, paletteColour091);
    addAndMakeVisible (labelReleaseDate);

    listBoxVersions.setName ("listBoxVersions");
    listBoxVersions.setModel (this);
    listBoxVersions.setRowHeight ((int) std::ceil (a / 0.75f));
    listBoxVersions.setColour (juce::ListBox::outlineColourId, paletteColour045);
    listBoxVersions.setOutlineThickness (1);
    addAndMakeVisible (listBoxVersions);

    viewportDescription.setName ("viewportDescription");
    viewportDescription.setScrollBarsShown (true, false);
    addAndMakeVisible (viewportDescription);

    textButtonStartUpdate.setName ("textButtonStartUpdate");
    textButtonCancel.setName ("textButtonCancel");
    textButtonCustomUpdate.setName ("textButtonCustomUpdate");
    for (auto* b : { &textButtonStartUpdate, &textButtonCancel, &textButtonCustomUpdate })
        b->addListener (this);
    addAndMakeVisible (textButtonStartUpdate);
    addAndMakeVisible (textButtonCancel);
    if (allowCustomUpdate)
        addAndMakeVisible (textButtonCustomUpdate);

    const float s = getScale();
    setSize (juce::roundToInt (700.0f * s), juce::roundToInt (400.0f * s));

    timerCallback();
    if (firmwareList.isEmpty())
        textButtonStartUpdate.setEnabled (false);
    else
        listBoxVersions.selectRow (0);
}

FirmwareChooserContent::~FirmwareChooserContent()
{
    stopTimer();
    for (auto* b : { &textButtonStartUpdate, &textButtonCancel, &textButtonCustomUpdate })
        b->removeListener (this);
    viewportDescription.setViewedComponent (nullptr, false);
    listBoxVersions.setModel (nullptr);
}

float FirmwareChooserContent::getFontHeightA() const
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getFontHeightA();
    return 14.0f;
}

float FirmwareChooserContent::getScale() const
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getScale();
    return 1.0f;
}

int FirmwareChooserContent::getMargin() const
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getScaledMargin();
    return 10;
}

FirmwareUpdateElement FirmwareChooserContent::getSelectedUpdate() const
{
    if (customElement != nullptr)
        return *customElement;
    const int row = listBoxVersions.getSelectedRow();
    if (row >= 0 && row < firmwareList.size())
        return firmwareList.getReference (row);
    return {};
}

juce::String FirmwareChooserContent::suggestBuildNumber (const juce::String& path)
{
    const int at = path.toLowerCase().lastIndexOf ("build");
    if (at < 0)
        return {};
    auto p = path.getCharPointer() + (at + 5);
    while (! p.isEmpty() && juce::String (" _-.=").containsChar (*p))
        ++p;
    juce::String digits;
    while (! p.isEmpty() && juce::CharacterFunctions::isDigit (*p) && digits.length() < 9)
        digits += *p++;
    return digits;
}

//==============================================================================
void FirmwareChooserContent::paint (juce::Graphics& g)
{
    g.setColour (paletteColour092);
    g.fillRect (detailsArea);
}

void FirmwareChooserContent::resized()
{
    const float a = getFontHeightA();
    const float s = getScale();
    const int m = getMargin();
    const int w = getWidth(), h = getHeight();

    const int lw = juce::roundToInt (200.0f * s);
    const int g = juce::roundToInt (15.0f * s);
    const int bw0 = juce::roundToInt (100.0f * s);
    const int bh = (int) (2.0f * a);
    int bw = bw0;
    for (auto* b : { &textButtonCustomUpdate, &textButtonStartUpdate, &textButtonCancel })
        bw = juce::jmax (bw, getLookAndFeel().getTextButtonWidthToFitText (*b, bh));
    const int lh = (int) (labelVersions.getFont().getHeight() + 1.0f);

    labelVersions.setBounds (m, g, lw - m, lh);
    const int listY = labelVersions.getBottom() + 5;
    listBoxVersions.setBounds (m, listY, lw - g - m, h - 2 * g - labelVersions.getBottom() - bh);
    labelDetails.setBounds (lw, g, w - g - lw, lh);

    const int buttonY = listBoxVersions.getBottom() + g;
    textButtonCustomUpdate.setBounds (m, buttonY, bw, bh);
    textButtonCancel.setBounds (w - bw - m, buttonY, bw, bh);
    textButtonStartUpdate.setBounds (textButtonCancel.getX() - bw - m, buttonY, bw, bh);

    detailsArea = { lw, listBoxVersions.getY(), w - lw - m, listBoxVersions.getHeight() };

    if (description == nullptr)
        return;

    labelReleaseDate.setBounds (lw, detailsArea.getY() + m, detailsArea.getWidth() - 2 * m,
                                (int) (labelReleaseDate.getFont().getHeight() + 1.0f));
    auto panel = detailsArea;
    panel.removeFromTop (juce::jmin (panel.getHeight(), labelReleaseDate.getHeight() + 2 * m));
    panel = panel.withTrimmedLeft (juce::jmin (m, panel.getWidth()));
    panel.setWidth (juce::jmax (0, panel.getWidth() - m));
    viewportDescription.setBounds (panel);

    if (auto* d = dynamic_cast<DescriptionComponent*> (description.get()))
        d->layOut (panel.getWidth() - viewportDescription.getScrollBarThickness());
    viewportDescription.setViewPosition (0, 0);
}

//==============================================================================
int FirmwareChooserContent::getNumRows()
{
    return firmwareList.size();
}

void FirmwareChooserContent::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (row < 0 || row >= firmwareList.size())
        return;
    if (selected)
        g.fillAll (paletteColour072);
    g.setColour (paletteColour034);
    g.setFont (font);
    g.drawText (formatFirmwareVersion (firmwareList.getReference (row).getVersion(), false),
                5, 0, width - 5, height, juce::Justification::centredLeft, true);
}

void FirmwareChooserContent::selectedRowsChanged (int lastRowSelected)
{
    if (lastRowSelected >= 0 && lastRowSelected < firmwareList.size())
    {
        showDetails (lastRowSelected);
        textButtonStartUpdate.setEnabled (firmwareList.getReference (lastRowSelected).isUsable());
    }
}

void FirmwareChooserContent::timerCallback()
{
    auto* content = getContentManager();
    const int row = listBoxVersions.getSelectedRow();
    for (int i = 0; i < firmwareList.size(); ++i)
    {
        const bool coming = content != nullptr && content->isFirmwareImageComing (productId, firmwareList.getReference (i));
        const bool changed = coming != downloading[i];
        downloading.set (i, coming);
        if (changed && i == row)
            showDetails (row);
    }

    if (row >= 0 && row < firmwareList.size())
        textButtonStartUpdate.setEnabled (firmwareList.getReference (row).isUsable());

    if (! downloading.contains (true))
        stopTimer();
    else if (! isTimerRunning())
        startTimer (1000);
}

void FirmwareChooserContent::showDetails (int row)
{
    const auto& element = firmwareList.getReference (row);

    viewportDescription.setViewedComponent (nullptr, false);
    description = std::make_unique<DescriptionComponent> (element.getDescription(), font,
                                                          downloading[row] ? "Still downloading: this version can be started once it has arrived."
                                                                           : juce::String());
    viewportDescription.setViewedComponent (description.get(), false);

    labelReleaseDate.setText ("Release Date: " + juce::Time (element.getReleaseDate()).formatted ("%b %d, %Y - %I:%M %p"),
                              juce::dontSendNotification);
    resized();
    repaint();
}

//==============================================================================
void FirmwareChooserContent::buttonClicked (juce::Button* button)
{
    if (button == &textButtonStartUpdate)
    {
        accepted = true;
        close (1);
    }
    else if (button == &textButtonCancel)
    {
        close (0);
    }
    else if (button == &textButtonCustomUpdate)
    {
        chooseCustomImage();
    }
}

void FirmwareChooserContent::close (int result)
{
    closeDialogOf (*this, result);
}

void FirmwareChooserContent::chooseCustomImage()
{
    juce::File start;
    const auto last = getSettingText (SettingsKeys::lastFirmwareFile);
    if (juce::File::isAbsolutePath (last))
    {
        const juce::File lastFile (last);
        if (lastFile.existsAsFile())
            start = lastFile;
        else if (lastFile.getParentDirectory().isDirectory())
            start = lastFile.getParentDirectory();
    }

    const auto chosen = getDialogService().chooseFile (DialogService::ChooserMode::openFile,
                                                       "Select update file...", start, "*.syx");
    if (chosen == juce::File())
        return;

    auto buildText = suggestBuildNumber (chosen.getFullPathName());

    if (! chosen.existsAsFile())
    {
        showWarningBox (this, "File Not Found", "The specified file does not exist.");
        return;
    }

    if (getDialogService().showTextInputBox ("Specify Build Number", "Please enter the build number for the selected file.",
                                             "Build Number", buildText, { "Ok", "Cancel" }, this) != 0)
        return;

    // A build number that is not a plain number in range would make an update to a
    // build that cannot exist.
    const auto typed = buildText.trim();
    const int build = typed.getIntValue();
    if (typed.isEmpty() || typed.length() > 5 || ! typed.containsOnly ("0123456789")
        || build < 1 || build > maxBuildNumber)
    {
        showWarningBox (this, "Invalid Build Number",
                        "Please enter a build number from 1 to " + juce::String (maxBuildNumber) + ".");
        return;
    }

    VersionNumber version;
    if (auto* devices = getDeviceManager())
        version = devices->getFirmwareVersion (-1);
    version.build = (juce::int16) build;

    customElement = std::make_unique<FirmwareUpdateElement> (chosen.getFullPathName(), version);
    setSetting (SettingsKeys::lastFirmwareFile, chosen.getFullPathName());
    accepted = true;
    close (1);
}
