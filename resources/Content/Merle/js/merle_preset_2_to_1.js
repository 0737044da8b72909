// Merle presets, data version 2 back to 1.
// Every step keeps its first eight values; the harmony key and the mix, which version 1
// lacks, are dropped. A step whose mix is 0 is silent in version 2 but would sound in
// version 1, so it is left out, unless every step is silent: then the first one stays.
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
    var steps = header.steps;
    header.version = 1;
    header.steps = 0;
    if (typeof PresetConversion.setHeader(header) == "void")
    {
        Larkspire.scriptError("The converted preset header was refused.");
        return;
    }
    var silent = [];
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
        if (typeof PresetConversion.setStep(out, i) == "void")
        {
            Larkspire.scriptError("Step " + (i + 1) + " was refused by the new format.");
            return;
        }
        if (values[9] == 0)
            silent.push(i);
    }
    // From the last step to the first, so that the steps still to go keep their places.
    var last = silent.length == steps ? 1 : 0;
    for (var j = silent.length - 1; j >= last; --j)
    {
        if (typeof PresetConversion.deleteStep(silent[j]) == "void")
        {
            Larkspire.scriptError("Step " + (silent[j] + 1) + " could not be removed.");
            return;
        }
    }
}

convert();
