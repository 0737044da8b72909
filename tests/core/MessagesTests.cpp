#include <gtest/gtest.h>
#include "core/ChangeInfo.h"
#include "core/InfoCodes.h"
#include "model/DeviceData.h"

TEST (Messages, CommandCopiesShareThePayload)
{
    auto list = std::make_unique<DeviceCommandMessage::Payload>();
    const juce::uint8 sysex[] = { 0x00, 0x21, 0x7F, 0x45 };
    list->add (new juce::MidiMessage (juce::MidiMessage::createSysExMessage (sysex, 4)));
    list->add (new juce::MidiMessage (juce::MidiMessage::createSysExMessage (sysex, 3)));

    auto* original = new DeviceCommandMessage (std::move (list), { 4, 5 });
    EXPECT_EQ (original->code, DeviceCommand::rawSend);
    std::weak_ptr<DeviceCommandMessage::Payload> watch = original->payload;

    DeviceCommandMessage copy (*original);
    delete original;

    ASSERT_FALSE (watch.expired());
    EXPECT_EQ (copy.getPayloadSize(), 2);
    EXPECT_EQ (copy.payload->getUnchecked (0)->getSysExDataSize(), 4);
    EXPECT_EQ (copy.presetIndices, juce::Array<int> ({ 4, 5 }));
    {
        DeviceCommandMessage second;
        second.copyFrom (copy);
        EXPECT_EQ (second.payload.get(), copy.payload.get());
    }
    EXPECT_FALSE (watch.expired());
    copy.payload.reset();
    EXPECT_TRUE (watch.expired());
}

TEST (Messages, RawSendWithoutListIsEmpty)
{
    DeviceCommandMessage raw (std::unique_ptr<DeviceCommandMessage::Payload>(), {});
    EXPECT_EQ (raw.code, 0x100300);
    EXPECT_EQ (raw.payload, nullptr);
    EXPECT_EQ (raw.data, nullptr);
    EXPECT_EQ (raw.getPayloadSize(), 0);
}

TEST (Messages, SelfAssignmentKeepsEverything)
{
    DeviceCommandMessage cmd (DeviceCommand::readPresets, { 1, 2, 3 });
    auto& alias = cmd;
    cmd = alias;
    cmd.copyFrom (alias);
    EXPECT_EQ (cmd.code, DeviceCommand::readPresets);
    EXPECT_EQ (cmd.presetIndices.size(), 3);
}

TEST (Messages, InfoCopiesCarryEveryFieldAndTheCommand)
{
    const std::shared_ptr<const DeviceData> data (new DeviceData (VersionNumber(), DeviceDataFormat(), nullptr));
    DeviceCommandMessage cmd (DeviceCommand::writePresetsFrom, data, { 7 });
    DeviceInfoMessage done (InfoCode::commandDone, cmd);
    EXPECT_EQ (done.p1, 0);
    EXPECT_EQ (done.p2, 0);
    EXPECT_TRUE (done.text.isEmpty());

    DeviceInfoMessage named (InfoCode::presetRead, 3, 10, "Choir Lead");
    named.command.copyFrom (cmd);
    DeviceInfoMessage copy (named);
    EXPECT_EQ (copy.code, InfoCode::presetRead);
    EXPECT_EQ (copy.p1, 3);
    EXPECT_EQ (copy.p2, 10);
    EXPECT_EQ (copy.text, "Choir Lead");
    EXPECT_EQ (copy.command.code, DeviceCommand::writePresetsFrom);
    EXPECT_EQ (copy.command.data, data);
    EXPECT_EQ (copy.command.presetIndices, juce::Array<int> ({ 7 }));
}

TEST (Messages, ChangeInfoKinds)
{
    ChangeInfo fromEvent (DeviceInfoMessage (InfoCode::scanFinished, 1, 0, {}));
    EXPECT_EQ (fromEvent.kind, ChangeInfo::deviceEvent);
    EXPECT_EQ (fromEvent.newValue, -1);
    EXPECT_EQ (fromEvent.oldValue, -1);
    EXPECT_EQ (fromEvent.commandId, 0);
    EXPECT_EQ (fromEvent.event.code, InfoCode::scanFinished);
    EXPECT_EQ (fromEvent.event.p1, 1);

    auto state = ChangeInfo::stateChange (2, 0);
    EXPECT_EQ (state->kind, 1);
    EXPECT_EQ (state->newValue, 2);
    EXPECT_EQ (state->oldValue, 0);
    EXPECT_EQ (state->event.code, 0);

    auto command = ChangeInfo::command (0x36000);
    EXPECT_EQ (command->kind, 2);
    EXPECT_EQ (command->commandId, 0x36000);
    EXPECT_EQ (command->newValue, -1);
}

TEST (Messages, TransferCodesAreTheForwardedOnes)
{
    for (int c : { 0x100010, 0x100040, 0x100050, 0x100060, 0x100100, 0x100101, 0x100110, 0x100111, 0x100120, 0x100300 })
        EXPECT_TRUE (DeviceCommand::isTransfer (c)) << std::hex << c;
    for (int c : { 0, 0x100000, 0x100001, 0x100002, 0x100200, 0x36000 })
        EXPECT_FALSE (DeviceCommand::isTransfer (c)) << std::hex << c;
}
