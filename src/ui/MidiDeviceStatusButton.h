#pragma once

#include "device/DeviceProfiler.h"
#include "model/VersionNumber.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

class DeviceObject;

// A tile of the device page: one MIDI port pair, or a unit of the maker that was seen
// before and is not plugged in now. It shows the product picture, the name, a status
// icon, an update badge and, while the unit is busy, a spinner; a right click opens a
// menu (device information, the product manual, forgetting a known unit).
//
// A port tile follows its DeviceObject through change notifications and polls every
// 30 ms while the unit identifies; a known-unit tile changes only its picture, when the
// pictures of its product come.
class MidiDeviceStatusButton : public juce::Button,
                               private juce::ChangeListener,
                               private juce::Timer
{
public:
    enum MenuIds
    {
        showInformationItem = 1,
        showManualItem      = 2,
        removeKnownItem     = 3
    };

    static constexpr juce::uint32 makerUnitBits  = 0x1000108;
    static constexpr juce::uint32 busyBits       = 0x201;
    static constexpr juce::uint32 unusableBits   = 0xff000004;
    static constexpr int timerIntervalMs = 30;

    // A known unit that is not connected.
    MidiDeviceStatusButton (juce::uint8 productId, const juce::String& name, const VersionNumber& firmwareVersion,
                            const DeviceProfiler::Date& manufactureDate, int serialNumber, bool updateAvailable);
    // The port pair at `portIndex` of the device manager.
    explicit MidiDeviceStatusButton (int portIndex);
    ~MidiDeviceStatusButton() override;

    // A unit of the maker: a known unit, or a port whose unit is identified, named like a
    // product or of a product this program does not list. The device page shows these first.
    bool isMakerDevice() const noexcept;

    // Re-reads the port's status and identity from the device manager and redraws.
    void refresh();

    int getPortIndex() const noexcept                     { return portIndex; }
    juce::uint8 getProductId() const noexcept             { return productId; }
    const juce::String& getDeviceName() const noexcept    { return name; }
    juce::uint32 getStatusFlags() const noexcept          { return statusFlags; }
    const VersionNumber& getFirmwareVersion() const noexcept { return firmwareVersion; }
    const DeviceProfiler::Date& getManufactureDate() const noexcept { return manufactureDate; }
    int getSerialNumber() const noexcept                  { return serialNumber; }
    bool isContentListed() const noexcept                 { return contentListed; }
    float getScale() const noexcept                       { return scale; }
    // Which of the seven status icons is shown (0 to 6).
    int getStatusIconIndex() const noexcept               { return statusIconIndex; }
    bool isPolling() const                                { return isTimerRunning(); }
    const juce::Image& getPicture() const noexcept        { return picture; }
    juce::Rectangle<float> getFrameArea() const noexcept  { return frameArea; }
    juce::Rectangle<float> getInnerArea() const noexcept  { return innerArea; }
    juce::Rectangle<float> getStatusIconArea() const noexcept { return statusIconArea; }
    juce::Rectangle<float> getBadgeArea() const noexcept  { return badgeArea; }

    // The right-click menu as it would be shown now.
    juce::PopupMenu createMenu() const;
    void performMenuItem (int itemId);

    // The mouse buttons of the last click (a click is reported once the button is released).
    const juce::ModifierKeys& getLastClickModifiers() const noexcept { return lastClickModifiers; }

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void resized() override;
    void paintButton (juce::Graphics&, bool isMouseOverButton, bool isButtonDown) override;

protected:
    void clicked (const juce::ModifierKeys& modifiers) override;

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void timerCallback() override;
    void initialise();
    void updateImages();
    bool isPortButton() const noexcept { return portIndex >= 0; }

    int portIndex = -1;
    VersionNumber firmwareVersion;
    DeviceProfiler::Date manufactureDate;
    int serialNumber = -1;
    juce::uint8 productId = 0xff;
    juce::String name;
    juce::Font font;
    juce::uint32 statusFlags = 0;
    bool updateAvailable = false;
    bool contentListed = false;
    juce::Image statusIcons[7];
    std::unique_ptr<juce::Drawable> updateBadge;
    juce::Image picture, statusIcon;
    int statusIconIndex = 2;
    juce::Rectangle<float> shadowArea, frameArea, innerArea, statusIconArea, badgeArea;
    int pictureX = 0, pictureY = 0;
    float scale = 1.0f;
    std::weak_ptr<DeviceObject> device;
    juce::ModifierKeys lastClickModifiers;

    JUCE_DECLARE_NON_COPYABLE (MidiDeviceStatusButton)
};
