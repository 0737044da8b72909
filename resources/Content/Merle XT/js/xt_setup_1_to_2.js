// Merle XT setup, data version 1 to 2: stereo link and its six values follow.
var values = SetupConversion.getData();
if (typeof values == "void")
    Larkspire.scriptError("The setup data is incomplete.");
for (var k = 0; k < 6; ++k)
    values.push(0);
if (typeof SetupConversion.setData(values) == "void")
    Larkspire.scriptError("The new setup data was refused.");
SetupConversion.setVersion(2);
