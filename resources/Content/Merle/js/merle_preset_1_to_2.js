// Merle presets, data version 1 to 2.
// Every step keeps its eight values; version 2 adds the harmony key and the mix (64).
// Version 1 units keep one harmony key for all presets, in setup value 1. When the whole
// unit is converted, every step takes the unit's key; a single preset gets key 0 (C).
function unitKey()
{
    var available = ReferenceData.isSetupAvailable();
    if (typeof available == "void" || !available)
        return 0;
    var version = ReferenceData.getSetupVersion();
    if (version != 1 && version != 2)
        return 0;
    var setup = ReferenceData.getSetup();
    return setup[1];
}

function convert()
{
    if (PresetConversion.getProductId() != 17)
    {
        Larkspire.scriptError("This rule converts Merle presets only.");
        return;
    }
    var header = PresetConversion.getHeader();
    if (typeof header == "void")
    {
        Larkspire.scriptError("The preset has no header.");
        return;
    }
    var key = unitKey();
    var steps = header.steps;
    header.version = 2;
    header.steps = 0;
    if (typeof PresetConversion.setHeader(header) == "void")
    {
        Larkspire.scriptError("The converted preset header was refused.");
        return;
    }
    for (var i = 0; i < steps; ++i)
    {
        var values = PresetConversion.getStep(i);
        if (typeof values == "void")
        {
            Larkspire.scriptError("Step " + (i + 1) + " of the preset could not be read.");
            return;
        }
        var out = [];
        for (var k = 0; k < 8; ++k)
            out.push(values[k]);
        out.push(key);
        out.push(64);
        if (typeof PresetConversion.setStep(out, i) == "void")
        {
            Larkspire.scriptError("Step " + (i + 1) + " was refused by the new format.");
            return;
        }
    }
}

convert();
