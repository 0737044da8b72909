// Merle setup, data version 1 to 2: input gain left and right (64), pad (0) and
// limiter (1) follow. Value 0 is the preset the unit starts with; version 2 units refuse
// one that is not stored, so when the whole unit is converted such a start-up preset
// becomes the first stored one.
var merleSlots = 26;

function convert()
{
    if (SetupConversion.getProductId() != 17)
    {
        Larkspire.scriptError("This rule converts Merle setups only.");
        return;
    }
    if (SetupConversion.getVersion() != 1)
    {
        Larkspire.scriptError("This rule converts setup data version 1 only.");
        return;
    }
    var values = SetupConversion.getData();
    if (typeof values == "void")
    {
        Larkspire.scriptError("The setup data is incomplete.");
        return;
    }
    var stored = ReferenceData.isPresetAvailable(values[0]);
    if (typeof stored != "void" && !stored)
    {
        for (var n = 1; n < merleSlots; ++n)
        {
            if (ReferenceData.isPresetAvailable(n))
            {
                values[0] = n;
                break;
            }
        }
    }
    values.push(64);
    values.push(64);
    values.push(0);
    values.push(1);
    if (typeof SetupConversion.setVersion(2) == "void")
    {
        Larkspire.scriptError("The new setup version was refused.");
        return;
    }
    if (typeof SetupConversion.setData(values) == "void")
        Larkspire.scriptError("The new setup data was refused.");
}

convert();
