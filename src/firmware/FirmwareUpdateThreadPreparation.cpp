// Before anything reaches the unit: the pre-check of the unit, the image and the target
// build, the read of the unit's presets and setup, and their conversion to the data
// versions of the new firmware.

#include "firmware/FirmwareUpdateThread.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "device/DeviceProfiler.h"
#include "device/SysExFileAnalysis.h"
#include "firmware/FirmwareUpdateTexts.h"
#include "model/FirmwareImage.h"

using namespace FirmwareUpdateTexts;

namespace
{
    const char* const internalErrorCode1B = "An internal error occurred before the update could start. Please restart "
                                            "Larkspire and try again. If the problem persists, please contact support. Code: 1B.";
    const char* const internalErrorCode1C = "An internal error occurred before the update could start. Please restart "
                                            "Larkspire and try again. If the problem persists, please contact support. Code: 1C.";
    const char* const invalidBuildCode1C = "An internal error occurred before the update could start. You are trying to "
                                           "update to an invalid firmware build. Code: 1C.";
    const char* const imageMissing = "The firmware update image does not exist.";
    const char* const noWindow = "Memory allocation error. Code: 3";
}

bool FirmwareUpdateThread::preCheck()
{
    auto refuse = [this] (const juce::String& text)
    {
        fail (text);
        return false;
    };

    auto* devices = getDeviceManager();
    auto device = devices != nullptr ? devices->getDeviceObject (-1) : nullptr;
    const DeviceCaps* currentCaps = device != nullptr ? device->getDeviceCaps() : nullptr;
    if (devices != nullptr)
        machine.setUnit (devices->getDeviceDisplayName(), unitFormat.productId, unitFormat.numPresets,
                         devices->getSerialNumber (-1));

    if (view == nullptr)
        return refuse (noWindow);

    if (unitData == nullptr || currentCaps == nullptr)
        return refuse (internalErrorCode1A);

    const auto path = target.getImageFile();
    if (path.isEmpty() || ! juce::File::isAbsolutePath (path) || ! juce::File (path).existsAsFile())
        return refuse (imageMissing);
    const juce::File imageFile (path);

    DeviceQuery query (unitFormat.productId);
    if (checkFirmwareImageHeader (query, imageFile, unitFormat, currentCaps) != 8)
        return refuse (imageInvalid);

    // The whole image is cut into its messages now, by the test that a downloaded image
    // passed before it was kept: anything else is refused before anything reaches the unit.
    image = std::make_unique<juce::OwnedArray<juce::MidiMessage>>();
    if (! FirmwareImage::read (imageFile, image.get()))
    {
        image.reset();
        return refuse (imageInvalid);
    }

    targetCaps = DeviceProfiler::createDeviceCaps (unitFormat.productId, targetVersion.build);
    if (targetCaps == nullptr)
        return refuse (internalErrorCode1B);
    if (! targetCaps->isBuildValid())
        return refuse (invalidBuildCode1C);

    rebootWaitSeconds = (double) targetCaps->getBootTime() + (double) currentCaps->getProgramTime() + 3.0;
    rebootWaitMs = rebootWaitSeconds * 1000.0 * timings.rebootWaitScale;

    if (currentCaps->isBuildValid())
        target.getDataVersionChanges (unitFormat, presetVersionsChange, setupVersionsChange);
    return true;
}

bool FirmwareUpdateThread::prepare()
{
    if (! moveState (created, preparing))
        return false;
    setStatus ("Preparing for update");

    if (! presetVersionsChange && ! setupVersionsChange)
        return true;

    // The unit's presets and setup are read first: the new firmware needs them converted.
    machine.beginDeviceCommand (DeviceCommand::readAll);

    bool refused = false;
    if (! runCommand (FirmwareUpdateHost::downloadDeviceData, refused))
    {
        machine.forgetDeviceCommand();
        if (isActive())
            fail ("Larkspire could not start reading the presets and setup data of " + getDeviceName()
                  + ", so the update was not started. Nothing on your device has been altered. Please restart "
                    "Larkspire and try again.");
        return false;
    }

    bool silent = false;
    if (waitForDeviceCommand (DeviceCommand::readAll, silent))
        return true;
    if (silent && isActive())
        fail ("Larkspire did not receive the presets and setup data of " + getDeviceName()
              + " in time, so the update was not started. Nothing on your device has been altered. Please restart "
                "Larkspire as well as " + getDeviceName() + ", and try again.");
    return false;
}

bool FirmwareUpdateThread::convert()
{
    if (! presetVersionsChange && ! setupVersionsChange)
        return true;

    auto* data = unitData.get();
    if (data == nullptr)
    {
        fail (internalErrorCode1C);
        return false;
    }

    // The unit's digests are filled here, off the message thread, which may look at them too.
    juce::Array<int> indices;
    if (presetVersionsChange)
    {
        const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
        indices = data->getNonFactoryPresetIndices();
        indices.removeFirstMatchingValue (0);   // slot 0 holds no user preset
    }
    if (indices.isEmpty() && ! setupVersionsChange)
        return true;   // only factory presets, which the new firmware brings itself

    if (! setState (converting))
        return false;
    setStatus ("Converting user data");
    setPhaseFraction (0.0);

    {
        const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
        userData = data->createCopy (indices, true, true);
    }
    if (userData == nullptr)
    {
        fail (internalErrorCode1C);
        return false;
    }
    if (! setupVersionsChange)
        userData->clearSetup();

    DataConversionManager manager;
    manager.addListener (this);
    {
        const juce::ScopedLock sl (conversionLock);
        activeConversion = &manager;
    }
    if (isActive())
        convertedData = manager.convertDeviceData (*userData, targetCaps->getProductId(), targetVersion);
    {
        const juce::ScopedLock sl (conversionLock);
        activeConversion = nullptr;
    }
    manager.removeListener (this);

    if (! isActive())
        return false;

    if (convertedData == nullptr || manager.hasErrors())
    {
        juce::String text;
        if (convertedData != nullptr && convertedData->countPresets() != indices.size())
            text = "Larkspire is unable to update the preset data on your device. Please restart Larkspire and try "
                   "the update again. You can ignore this error and apply the update; however, it will most likely "
                   "result in your presets being erased. Do you want to continue with the update anyway?";
        else if (convertedData != nullptr && setupVersionsChange && ! convertedData->getSetup().isComplete())
            text = "Larkspire is unable to update your device's setup. Applying the update will most likely result "
                   "in your device's configuration being reset to a default state. Do you want to continue with the "
                   "update anyway?";
        else
            text = "Larkspire has encountered an error while preparing your device's preset and/or setup data for "
                   "the firmware update. You can ignore this error and continue with the update; however, your "
                   "presets and/or setup data will be erased after the update. Nothing on your device has been "
                   "altered yet. Do you want to continue with the update anyway?";

        text << "\n\nError code: " << manager.getErrors().toString (16)
             << "\nError info: " << manager.getErrorText();

        const bool yes = ask (asking, text, converting);

        if (! yes)
        {
            // The user ends the update here; nothing was sent.
            setState (stopped);
            return false;
        }
    }

    // Nothing to write back: no preset and no complete setup came out of the conversion.
    if (convertedData != nullptr && convertedData->countPresets() == 0 && ! convertedData->getSetup().isComplete())
        convertedData.reset();
    return isActive();
}

//==============================================================================
// Conversion progress, on the thread

void FirmwareUpdateThread::presetConverted (int numDone, int numTotal)
{
    setPhaseFraction ((double) numDone / (double) (numTotal + 1));
}

void FirmwareUpdateThread::setupConverted()
{
    setPhaseFraction (1.0);
}

