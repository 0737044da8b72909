#include "ui/MidiDeviceStatusButton.h"
#include "content/ContentManager.h"
#include "core/AppHost.h"
#include "core/DeviceInfoMessage.h"
#include "core/DialogService.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/DeviceInfoDialog.h"

using namespace juce;

namespace
{
    void postToHub (int code, int p1, int p2)
    {
        if (auto* host = getAppHost())
            if (auto* hub = host->getHubListener())
                hub->postMessage (new DeviceInfoMessage (code, p1, p2, {}));
    }
}

MidiDeviceStatusButton::MidiDeviceStatusButton (uint8 product, const String& unitName, const VersionNumber& version,
                                                const DeviceProfiler::Date& date, int serial, bool update)
    : Button (unitName + " device button"),
      firmwareVersion (version),
      manufactureDate (date),
      serialNumber (serial),
      productId (product),
      name (unitName),
      updateAvailable (update)
{
    initialise();
}

MidiDeviceStatusButton::MidiDeviceStatusButton (int index)
    : Button ("device button"),
      portIndex (index)
{
    if (auto* devices = getDeviceManager())
    {
        if (index >= 0 && index < devices->getNumPairs())
            name = devices->getPair (index).displayName;

        statusFlags = devices->getDeviceFlags (index);

        if (auto object = devices->getDeviceObject (index))
        {
            object->addChangeListener (this);
            device = object;
        }
    }

    if (auto* content = getContentManager())
        productId = content->findProductIdByName (name);

    startTimer (timerIntervalMs);
    initialise();
}

MidiDeviceStatusButton::~MidiDeviceStatusButton()
{
    stopTimer();

    // The device object may outlive the tile (the page rebuilds its tiles while the pairs
    // stay); it must not call a deleted listener.
    if (auto object = device.lock())
        object->removeChangeListener (this);
}

void MidiDeviceStatusButton::initialise()
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
    {
        scale = jmax (0.3f, laf->getScale());
        font = Font (laf->getFontHeightA());
    }
    else
    {
        font = Font (14.0f);
    }

    for (int i = 0; i < 7; ++i)
        statusIcons[i] = LSLookAndFeel::getEmbeddedImage ("device_status_" + String (i) + "_png");

    updateBadge = LSLookAndFeel::createEmbeddedDrawable ("device_update_badge_svg");

    setSize ((int) (220.0f * scale), (int) (160.0f * scale));
    refresh();
}

bool MidiDeviceStatusButton::isMakerDevice() const noexcept
{
    return portIndex < 0 || (statusFlags & makerUnitBits) != 0;
}

void MidiDeviceStatusButton::changeListenerCallback (ChangeBroadcaster*)
{
    refresh();
}

void MidiDeviceStatusButton::refresh()
{
    if (! isPortButton())
    {
        stopTimer();
    }
    else if (auto* devices = getDeviceManager())
    {
        statusFlags = devices->getDeviceFlags (portIndex);

        if ((statusFlags & busyBits) != 0)
        {
            if (! isTimerRunning())
                startTimer (timerIntervalMs);
        }
        else
        {
            stopTimer();
        }

        if ((statusFlags & DeviceObject::identified) != 0)
        {
            productId = devices->getProductId (portIndex);
            serialNumber = devices->getSerialNumber (portIndex);
            firmwareVersion = devices->getFirmwareVersion (portIndex);

            if (auto object = devices->getDeviceObject (portIndex))
                object->getManufactureDate (manufactureDate.year, manufactureDate.month, manufactureDate.day);

            name = DeviceProfiler::getVariantDisplayName (productId, serialNumber);

            auto* content = getContentManager();
            updateAvailable = content != nullptr && content->isFirmwareUpdateAvailable (productId, firmwareVersion.build);
            contentListed = content != nullptr && content->getProductIds().contains (productId);
        }

        setToggleState ((statusFlags & DeviceObject::portsOpen) != 0, dontSendNotification);
    }
    else
    {
        stopTimer();
    }

    updateImages();
    repaint();
}

void MidiDeviceStatusButton::updateImages()
{
    // The picture: the product's for a unit of the maker, else a plain MIDI connector.
    Image source;
    if (! isPortButton() || (statusFlags & makerUnitBits) != 0)
        if (auto* content = getContentManager())
            source = content->getProductImage (productId, name);

    if (! source.isValid())
        source = LSLookAndFeel::getEmbeddedImage ("device_generic_midi_png");

    if (source.isValid() && getWidth() > 0 && getHeight() > 0)
    {
        const float aspect = (float) source.getWidth() / (float) source.getHeight();
        const float innerAspect = innerArea.getHeight() > 0.0f ? innerArea.getWidth() / innerArea.getHeight() : 1.0f;
        int w, h;

        if (aspect <= innerAspect)
        {
            h = jmax (1, roundToInt (0.5f * (float) getHeight()));
            w = jmax (1, roundToInt ((float) h * aspect));
        }
        else
        {
            w = jmax (1, roundToInt (0.66f * (float) getWidth()));
            h = jmax (1, roundToInt ((float) w / aspect));
        }

        picture = source.rescaled (w, h, Graphics::highResamplingQuality).createCopy();

        if (! isPortButton())
            picture.desaturate();
    }
    else
    {
        picture = {};
    }

    // The status icon.
    if ((statusFlags & DeviceObject::portsOpen) != 0)
    {
        statusIconIndex = (statusFlags & busyBits) == 0 ? 0 : 5;
    }
    else if (appState() == 3)
    {
        statusIconIndex = 6;
        setEnabled (false);
    }
    else
    {
        if ((statusFlags & DeviceObject::portOpenFailed) != 0 || contentListed)
            statusIconIndex = 4;
        else if ((statusFlags & DeviceObject::unknownProduct) != 0 || (statusFlags & 0x108) == 0x100)
            statusIconIndex = 5;
        else if ((statusFlags & 0x6000000) != 0)
            statusIconIndex = 3;
        else if (isPortButton() && (statusFlags & (DeviceObject::notAUnit | DeviceObject::portMissing)) == 0)
            statusIconIndex = 1;
        else
            statusIconIndex = 2;
    }

    if (appState() != 3 && ! isEnabled())
        setEnabled (true);

    const auto& icon = statusIcons[statusIconIndex];
    if (icon.isValid())
        statusIcon = icon.rescaled (jmax (1, roundToInt ((float) icon.getWidth() * scale)),
                                    jmax (1, roundToInt ((float) icon.getHeight() * scale)),
                                    Graphics::highResamplingQuality);
    else
        statusIcon = {};

    resized();
}

void MidiDeviceStatusButton::resized()
{
    const float w = (float) getWidth();
    const float ih = (float) statusIcon.getHeight();
    const float iw = (float) statusIcon.getWidth();
    const float h = (float) getHeight() - (ih * 0.5f + 1.0f);

    shadowArea = { 5.0f, 5.0f, w - 10.0f, h - 10.0f };
    frameArea = { 0.0f, 0.0f, w - 5.0f, h - 5.0f };
    innerArea = { 3.1f, 3.1f, w - 11.2f, h - 11.2f };

    statusIconArea = Rectangle<float> (iw + 2.0f, ih + 2.0f)
                         .withCentre ({ innerArea.getCentreX(), frameArea.getBottom() - 1.55f });

    const float pw = (float) picture.getWidth();
    const float ph = (float) picture.getHeight();
    const float n = jmin (innerArea.getHeight(), font.getHeight() + 2.0f);
    const float a = innerArea.getHeight() - n;
    const float o = innerArea.getBottom() - statusIconArea.getY();

    pictureX = (int) innerArea.getCentreX() - (int) (pw / 2.0f);
    pictureY = (int) (innerArea.getY() + n + (a - jmin (o, a)) * 0.5f) - (int) (ph / 2.0f);

    if (updateBadge != nullptr)
    {
        const auto bounds = updateBadge->getDrawableBounds();
        const float bw = innerArea.getWidth() * 0.2f;
        const float bh = bounds.getWidth() > 0.0f ? bw * bounds.getHeight() / bounds.getWidth() : bw;
        badgeArea = { (float) pictureX + pw - 0.7f * bw, (float) pictureY - 0.25f * bh, bw, bh };
    }
}

void MidiDeviceStatusButton::paintButton (Graphics& g, bool over, bool down)
{
    const bool enabled = isEnabled();
    const bool pressed = down && isPortButton() && (statusFlags & unusableBits) == 0
                         && (statusFlags & DeviceObject::notAUnit) == 0;
    const bool selected = getToggleState();

    auto frame = selected ? paletteColour029 : paletteColour015;
    auto inside = paletteColour075;

    if (over)
    {
        if (! selected)
            frame = paletteColour013;
        inside = inside.brighter (0.4f);
    }

    if (pressed)
    {
        frame = paletteColour029;
        inside = inside.brighter (0.4f);
    }

    g.setColour (Colours::black.withAlpha (0.3f));
    g.fillRoundedRectangle (shadowArea, 5.0f);
    g.setColour (frame.withMultipliedAlpha (enabled ? 1.0f : 0.9f));
    g.fillRoundedRectangle (frameArea, 5.0f);
    g.setColour (inside.withMultipliedAlpha (enabled ? 1.0f : 0.6f));
    g.fillRoundedRectangle (innerArea, 1.9f);

    g.setColour (paletteColour042.withMultipliedAlpha (enabled ? 1.0f : 0.6f));
    g.setFont (font);
    g.drawText (name, Rectangle<float> (innerArea.getX(), innerArea.getY() + 4.0f,
                                        innerArea.getWidth(), font.getHeight() + 2.0f),
                Justification::centredTop, true);

    if (picture.isValid())
    {
        g.setOpacity (enabled && (statusFlags & unusableBits) == 0 ? 1.0f : 0.6f);
        g.drawImageAt (picture, pictureX, pictureY);
    }

    if (isPortButton() && statusIconIndex != 2 && statusIcon.isValid())
    {
        g.setColour (frame.withMultipliedAlpha (enabled ? 1.0f : 0.9f));
        g.fillRoundedRectangle (statusIconArea, 3.0f);

        auto well = statusIconArea.reduced (1.0f);
        well.setSize (jmax (0.0f, well.getWidth()), jmax (0.0f, well.getHeight()));
        g.setColour (inside.brighter (0.4f).withMultipliedAlpha (enabled ? 1.0f : 0.6f));
        g.fillRoundedRectangle (well, 2.0f);

        g.setOpacity (enabled ? 1.0f : 0.6f);
        g.drawImageAt (statusIcon, (int) statusIconArea.getX() + 1, (int) statusIconArea.getY() + 1);
    }

    if (updateAvailable && updateBadge != nullptr)
        updateBadge->drawWithin (g, badgeArea, RectanglePlacement::centred, 1.0f);

    if ((statusFlags & DeviceObject::identifying) != 0)
    {
        const float side = jmin (innerArea.getWidth(), innerArea.getHeight()) * 0.5f;
        const auto spinner = Rectangle<float> (side, side).withCentre (innerArea.getCentre());
        getLookAndFeel().drawSpinningWaitAnimation (g, paletteColour022, (int) spinner.getX(), (int) spinner.getY(),
                                                    (int) spinner.getWidth(), (int) spinner.getHeight());
    }
}

void MidiDeviceStatusButton::timerCallback()
{
    repaint();

    if (isPortButton())
        if (auto* devices = getDeviceManager())
            statusFlags = devices->getDeviceFlags (portIndex);

    if ((statusFlags & DeviceObject::identifying) == 0)
        stopTimer();
}

PopupMenu MidiDeviceStatusButton::createMenu() const
{
    PopupMenu menu;

    if (isPortButton())
        menu.addItem (showInformationItem, "Show device information", (statusFlags & DeviceObject::identified) != 0);
    else
        menu.addItem (showInformationItem, "Show last known device information");

    if (productId != 0xff)
        menu.addItem (showManualItem, "Show product manual...");

    if (! isPortButton())
        menu.addItem (removeKnownItem, "Remove " + name + " as a known device");

    return menu;
}

void MidiDeviceStatusButton::performMenuItem (int itemId)
{
    switch (itemId)
    {
        case showInformationItem:
            if (isPortButton() && (statusFlags & DeviceObject::identified) == 0)
                return;
            DeviceInfoDialog::show (this, name, firmwareVersion, manufactureDate.year, manufactureDate.month,
                                    manufactureDate.day, serialNumber);
            break;

        case showManualItem:
            if (productId != 0xff)
                if (auto* content = getContentManager())
                {
                    const auto address = content->getManualUrl (productId);
                    if (address.isNotEmpty())
                        getDialogService().openUrl (address);
                }
            break;

        case removeKnownItem:
            if (! isPortButton())
                postToHub (InfoCode::removeKnownUnit, productId, serialNumber);
            break;

        default:
            break;
    }
}

void MidiDeviceStatusButton::mouseDown (const MouseEvent& e)
{
    if (! e.mods.isRightButtonDown())
    {
        Button::mouseDown (e);
        return;
    }

    // The tile may be rebuilt while its menu is open: the item is only carried out while it is there.
    getDialogService().showPopupMenuAtPointerAsync (createMenu(), this, [this] (int itemId) { performMenuItem (itemId); });
}

void MidiDeviceStatusButton::clicked (const ModifierKeys& modifiers)
{
    lastClickModifiers = modifiers;
    Button::clicked (modifiers);
}

void MidiDeviceStatusButton::mouseDoubleClick (const MouseEvent&)
{
    if ((statusFlags & DeviceObject::portsOpen) != 0)
        postToHub (InfoCode::showPresetsTab, 0, 0);
}
