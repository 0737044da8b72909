// Merle presets (data version 2) to Merle XT presets (data version 1).
// Every step keeps its ten values; the XT adds the link, the preset its footswitch steps
// to, and the crossfade into that preset. A Merle unit steps to the next stored preset, so
// when the whole unit is converted the link names that one, and a Harmony preset (tag 2)
// crossfades into a linked Harmony preset. A single preset links to itself.
var merleSlots = 26;

function nextStoredPreset(number)
{
    for (var n = number + 1; n < merleSlots; ++n)
        if (ReferenceData.isPresetAvailable(n))
            return n;
    for (var m = 1; m < number; ++m)
        if (ReferenceData.isPresetAvailable(m))
            return m;
    return number;
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
    var link = header.number;
    var crossfade = 0;
    var unit = ReferenceData.getProductId();
    if (typeof unit != "void")
    {
        Larkspire.debugPrint("Merle unit " + unit + ", preset data version " + ReferenceData.getPresetVersion());
        link = nextStoredPreset(header.number);
        var linked = ReferenceData.getPreset(link);
        if (typeof linked != "void" && (header.tags & 2) != 0 && (linked.tags & 2) != 0)
            crossfade = 1;
    }
    var steps = header.steps;
    header.version = 1;
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
        for (var k = 0; k < 10; ++k)
            out.push(values[k]);
        out.push(link);
        out.push(crossfade);
        if (typeof PresetConversion.setStep(out, i) == "void")
        {
            Larkspire.scriptError("Step " + (i + 1) + " was refused by the Merle XT format.");
            return;
        }
    }
}

convert();
