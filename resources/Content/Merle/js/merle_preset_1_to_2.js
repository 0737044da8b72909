// Merle presets, data version 1 to 2.
// Every step keeps its values in order; version 2 adds formant (0) and mix (64) at the end.
var header = PresetConversion.getHeader();
var steps = header.steps;
header.version = 2;
header.steps = 0;
if (typeof PresetConversion.setHeader(header) == "void")
    Larkspire.scriptError("The converted preset header was refused.");

for (var i = 0; i < steps; ++i)
{
    var values = PresetConversion.getStep(i);
    if (typeof values == "void")
        Larkspire.scriptError("Step " + i + " of the preset could not be read.");
    var out = [];
    for (var k = 0; k < 8; ++k)
        out.push(values[k]);
    out.push(0);
    out.push(64);
    if (typeof PresetConversion.setStep(out, i) == "void")
        Larkspire.scriptError("Step " + i + " was refused by the new format.");
}
