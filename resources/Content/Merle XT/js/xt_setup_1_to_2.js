// Merle XT setup, data version 1 to 2: the stereo link and its five values follow, all 0
// (off).
function convert()
{
    if (SetupConversion.getProductId() != 18)
    {
        Larkspire.scriptError("This rule converts Merle XT setups only.");
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
    for (var k = 0; k < 6; ++k)
        values.push(0);
    if (typeof SetupConversion.setVersion(2) == "void")
    {
        Larkspire.scriptError("The new setup version was refused.");
        return;
    }
    if (typeof SetupConversion.setData(values) == "void")
        Larkspire.scriptError("The new setup data was refused.");
}

convert();
