// Merle setup, data version 1 to 2: input gain left, input gain right, pad and limiter follow.
var values = SetupConversion.getData();
if (typeof values == "void")
    Larkspire.scriptError("The setup data is incomplete.");
values.push(64);
values.push(64);
values.push(0);
values.push(1);
if (typeof SetupConversion.setData(values) == "void")
    Larkspire.scriptError("The new setup data was refused.");
SetupConversion.setVersion(2);
