#include "ui/dialogs/ImportContent.h"
#include "conversion/ConversionContent.h"
#include "conversion/DataConversionManager.h"
#include "core/DialogService.h"
#include "device/SysExFileAnalysis.h"
#include "model/DeviceData.h"
#include "ui/MessageBoxes.h"
#include "ui/dialogs/DialogMetrics.h"

namespace
{
    constexpr juce::uint32 setupResult = 1;
    constexpr juce::uint32 presetResult = 2;
    constexpr juce::uint32 otherProductResult = 0x100000;
    constexpr int originalOrderId = 1;
}

ImportContent::ImportContent (juce::Component*, const DeviceData* unit, const juce::String&,
                              const juce::StringArray& destinationNames, const juce::Array<DeviceData*>& dests,
                              const juce::File& presetFile, const ConversionContent* c)
    : unitData (unit), destinations (dests), conversion (c)
{
    setName ("ImportContent");
    const auto m = DialogMetrics::of (getLookAndFeel());
    const juce::Font font (m.fontHeight);

    chooseFolderButton.setName ("chooseFolderButton");
    textButtonStartImport.setName ("textButtonStartImport");
    textButtonCancel.setName ("textButtonCancel");

    for (auto* l : { &labelFile, &labelPath, &labelDestination, &labelStartingPosition })
    {
        l->setFont (font);
        addAndMakeVisible (l);
    }
    for (auto* b : { &chooseFolderButton, &textButtonStartImport, &textButtonCancel })
    {
        addAndMakeVisible (b);
        b->addListener (this);
    }

    comboBoxDataDestination.setTextWhenNothingSelected ("<select destination>");
    comboBoxDataDestination.setTextWhenNoChoicesAvailable ("(no choices)");
    for (int i = 0; i < destinationNames.size(); ++i)
        comboBoxDataDestination.addItem (destinationNames[i], i + 1);
    comboBoxDataDestination.setSelectedId (3, juce::dontSendNotification);
    comboBoxDataDestination.addListener (this);
    addAndMakeVisible (comboBoxDataDestination);

    comboBoxPresetOrder.setTextWhenNoChoicesAvailable ("(no choices)");
    addAndMakeVisible (comboBoxPresetOrder);
    fillStartingLocations();

    // Browse starts where the user keeps documents (the home folder for a new account that
    // has none yet), not wherever the program was started from.
    browseStart = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
    if (! browseStart.isDirectory())
        browseStart = juce::File::getSpecialLocation (juce::File::userHomeDirectory);

    // The last imported file is offered again only while it still passes the check; a file
    // that no longer fits this unit only tells Browse where to start.
    if (presetFile.getFullPathName().isNotEmpty() && presetFile.existsAsFile())
    {
        browseStart = presetFile;
        const auto result = checkFile (presetFile);
        if (result == setupResult || result == presetResult)
        {
            labelPath.setText (presetFile.getFullPathName(), juce::dontSendNotification);
            files.add (presetFile);
            fileAccepted = true;
            showControlsFor (result);
        }
    }
    updateStartButton();

    const float s = m.scale, f = m.fontHeight;
    const int h = juce::roundToInt (2.0f * f), lh = juce::roundToInt (1.75f * f);
    setSize ((int) (560.0f * s), m.margin + lh + 6 + h + 12 + lh + 6 + h + 2 * m.margin + h + m.margin);
}

ImportContent::~ImportContent() = default;

ImportContent::Choices ImportContent::getChoices() const
{
    Choices c;
    if (fileAccepted)
        c.files = files;
    c.destinationIndex = comboBoxDataDestination.getSelectedId() - 1;
    const int id = comboBoxPresetOrder.getSelectedId();
    c.startingSlot = (id > originalOrderId && comboBoxPresetOrder.isVisible()) ? id - 2 : -1;
    return c;
}

juce::uint32 ImportContent::checkFile (const juce::File& file) const
{
    int fileProduct = 255, fileVersion = 0;
    auto result = identifySysExFile (file, fileProduct, fileVersion);

    if (unitData == nullptr)
        return result == setupResult || result == presetResult ? otherProductResult : result;

    // Only preset and setup data have rules to convert them; any other result already says
    // why the file cannot be imported.
    int kind = 0, unitVersion = 0;
    if ((result & presetResult) != 0)
    {
        kind = 1;
        unitVersion = unitData->getFormat().presetVersion;
    }
    else if ((result & setupResult) != 0)
    {
        kind = 2;
        unitVersion = unitData->getFormat().setupVersion;
    }
    else
    {
        return result;
    }

    if (fileProduct != (int) unitData->getProductId() || fileVersion != unitVersion)
    {
        std::unique_ptr<DataConversionManager> manager (conversion != nullptr ? new DataConversionManager (*conversion)
                                                                             : new DataConversionManager());
        if (! juce::isPositiveAndBelow (fileProduct, 128)
            || ! manager->checkConversion ((juce::uint8) fileProduct, fileVersion, unitData->getProductId(),
                                           unitVersion, kind))
            result = otherProductResult;
    }
    return result;
}

juce::String ImportContent::getErrorText (juce::uint32 result)
{
    if (result == setupResult || result == presetResult)
        return {};
    if ((result & (0x10000u | 0x20000u)) != 0 || result == 4)
        return "The specified file does not contain valid SysEx data.";
    if ((result & 0x80000u) != 0)
        return "The specified file contains unsupported SysEx messages.";
    if ((result & otherProductResult) != 0)
        return "The SysEx file is either meant for a different Ardentis product, or does not contain preset or setup data.";
    // Every other result (other bits, or a message that is neither preset nor setup data,
    // such as an acknowledge) cannot be imported either, and the user is told so.
    return "The specified file cannot be imported.";
}

void ImportContent::showControlsFor (juce::uint32 result)
{
    const bool presets = result == presetResult;
    labelDestination.setVisible (true);
    comboBoxDataDestination.setVisible (true);
    labelStartingPosition.setVisible (presets);
    comboBoxPresetOrder.setVisible (presets);
}

void ImportContent::fillStartingLocations()
{
    const auto* destination = destinations[comboBoxDataDestination.getSelectedItemIndex()];
    const int count = unitData != nullptr ? unitData->getNumSlots() : 0;

    comboBoxPresetOrder.clear (juce::dontSendNotification);
    comboBoxPresetOrder.addItem ("<original order>", originalOrderId);
    for (int i = 1; i < count; ++i)
    {
        const auto* preset = destination != nullptr ? destination->getPreset (i) : nullptr;
        comboBoxPresetOrder.addItem (juce::String::formatted ("%d: ", i)
                                         + (preset != nullptr ? preset->getName() : juce::String ("<empty>")),
                                     i + 2);
    }
    comboBoxPresetOrder.setSelectedId (originalOrderId, juce::dontSendNotification);
}

void ImportContent::updateStartButton()
{
    textButtonStartImport.setEnabled (fileAccepted && comboBoxDataDestination.getSelectedId() > 0);
}

void ImportContent::browse()
{
    const juce::String shown = labelPath.getText();
    const juce::File start = juce::File::isAbsolutePath (shown) ? juce::File (shown) : browseStart;
    const auto chosen = getDialogService().chooseFilesToOpen ("Select the import file(s)", start, "*.syx");
    if (chosen.isEmpty())
        return;

    const auto result = checkFile (chosen.getFirst());
    fileAccepted = false;
    updateStartButton();

    const auto error = getErrorText (result);
    if (error.isNotEmpty())
    {
        showWarningBox (this, "SysEx File Error", error);
        return;
    }

    files = chosen;
    fileAccepted = true;
    showControlsFor (result);
    labelPath.setText (chosen.size() > 1 ? juce::String (multipleFilesText) : chosen.getFirst().getFullPathName(),
                       juce::dontSendNotification);
    updateStartButton();
}

void ImportContent::finish (int result)
{
    chosenResult = result;
    if (auto* window = findParentComponentOfClass<juce::DialogWindow>())
        window->exitModalState (result);
}

void ImportContent::buttonClicked (juce::Button* b)
{
    if (b == &chooseFolderButton)
        browse();
    else if (b == &textButtonStartImport)
        finish (1);
    else if (b == &textButtonCancel)
        finish (0);
}

void ImportContent::comboBoxChanged (juce::ComboBox* box)
{
    if (box != &comboBoxDataDestination)
        return;
    fillStartingLocations();
    updateStartButton();
}

void ImportContent::resized()
{
    const auto m = DialogMetrics::of (getLookAndFeel());
    const float f = m.fontHeight, s = m.scale;
    const int margin = m.margin, W = getWidth(), H = getHeight();
    const int h = juce::roundToInt (2.0f * f);
    const int lw = juce::roundToInt (180.0f * s);
    const int lh = juce::roundToInt (1.75f * f);
    const int bw = DialogMetrics::buttonWidth ({ &chooseFolderButton, &textButtonStartImport, &textButtonCancel }, h,
                                               juce::roundToInt (80.0f * s));

    labelFile.setBounds (margin, margin, lw, lh);
    chooseFolderButton.setBounds (W - bw - margin, labelFile.getBottom() + 6, bw, h);
    labelPath.setBounds (2 * margin, chooseFolderButton.getY(), chooseFolderButton.getX() - margin - 2 * margin, h);
    textButtonCancel.setBounds (W - bw - margin, H - h - margin, bw, h);
    textButtonStartImport.setBounds (textButtonCancel.getX() - bw - margin, textButtonCancel.getY(), bw, h);
    labelDestination.setBounds (margin, labelPath.getBottom() + 12, lw, lh);
    labelStartingPosition.setBounds (W / 2, labelDestination.getY(), lw, lh);
    comboBoxDataDestination.setBounds (16, labelDestination.getBottom() + 6, W / 2 - 32, h);
    const int orderX = labelStartingPosition.getX() + margin;
    comboBoxPresetOrder.setBounds (orderX, comboBoxDataDestination.getY(), chooseFolderButton.getRight() - orderX, h);
}
