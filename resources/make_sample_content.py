#!/usr/bin/env python3
"""Writes the sample control content in resources/Content/.

The tree mirrors what the maker's web service publishes under "<web root>/Larkspire2":
the control descriptor, and per product its capability profiles, firmware list with
image files, conversion rules with their scripts, variant icons and a preset pack.
The same tree is installed beside the executable as the fallback content.

Everything here is made up: the Merle family of vocal-effects units (Merle, Merle XT)
and an older unit, Piper. The output is deterministic; run this script again after
changing it and commit what it writes:

    python3 resources/make_sample_content.py

Firmware image files are SysEx: the loader's acknowledge message first
(F0 00 7A 15 00 60 51 00 F7), then one information block and eight data blocks,
each a SysEx message to the firmware loader (device id 0x60):

    info block  F0 00 7A 15 00 60 70 <product id> <build, 14-bit> <major> <minor> <revision> F7
    data block  F0 00 7A 15 00 60 71 <block number, 14-bit> <64 data bytes> <checksum> F7

The checksum is the sum of the 64 data bytes, masked to 7 bits.

Factory presets (the presets a unit holds when it leaves the factory) are numbered
1 to 5 with the names in FACTORY_NAMES; factory_preset() gives their steps, and the
capability profiles list their digests.
"""

import hashlib
import os
import struct
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "Content")
HOST = "https://www.ardentis.example"
BASE = HOST + "/Larkspire2"
MANUFACTURER = bytes([0x00, 0x7A, 0x15])
WRITER_VERSION = "0.1.1.2.139.0"

FACTORY_NAMES = ["Bright Lead", "Warm Double", "Octave Choir", "Robot Talk", "Slap Echo"]


# ---------------------------------------------------------------------------- SysEx
def pack28(v):
    v &= 0x0FFFFFFF
    return bytes([(v >> 21) & 0x7F, (v >> 14) & 0x7F, (v >> 7) & 0x7F, v & 0x7F])


def checksum(data):
    return (sum(data) & 0xFF) & 0x7F


def preset_packets(pid, values, packet_size, packages_per_step):
    per_packet = packet_size // 4
    count = (len(values) + per_packet - 1) // per_packet
    messages = []
    for i in range(count):
        chunk = values[i * per_packet:(i + 1) * per_packet]
        chunk += [0] * (per_packet - len(chunk))
        body = b"".join(pack28(v) for v in chunk)
        messages.append(bytes([0xF0]) + MANUFACTURER + bytes([0x00, pid, 0x21, i & 0x7F]) + body
                        + bytes([checksum(body), 0xF7]))
    return messages


def le32(v):
    return struct.pack("<i", v)


def preset_info_bytes(number, version, name, name_length, tags, steps):
    raw = name.encode("ascii")[:name_length]
    raw += b"\x00" * (name_length - len(raw))
    return le32(number) + le32(version) + le32(name_length) + raw + le32(tags) + le32(steps)


class Format:
    def __init__(self, pid, pkg_step, step_size, preset_version, pkg_setup, setup_size, setup_version,
                 num_presets, name_length, max_steps):
        self.pid = pid
        self.pkg_step = pkg_step
        self.step_size = step_size
        self.preset_version = preset_version
        self.pkg_setup = pkg_setup
        self.setup_size = setup_size
        self.setup_version = setup_version
        self.num_presets = num_presets
        self.name_length = name_length
        self.max_steps = max_steps

    def stream(self):
        return bytes([self.pid]) + b"".join(le32(v) for v in (
            self.pkg_step, self.step_size, self.preset_version, self.pkg_setup, self.setup_size,
            self.setup_version, self.num_presets, self.name_length, self.max_steps))

    def values_per_step(self):
        return self.pkg_step * self.step_size // 4


class Preset:
    def __init__(self, fmt, number, name, tags, steps):
        self.fmt = fmt
        self.number = number
        self.name = name
        self.tags = tags
        self.messages = []
        for step in steps:
            self.messages += preset_packets(fmt.pid, step, fmt.step_size, fmt.pkg_step)
        self.steps = len(steps)
        for i, m in enumerate(self.messages):   # packet index runs over the whole preset
            self.messages[i] = m[:7] + bytes([i & 0x7F]) + m[8:]

    def info(self):
        return preset_info_bytes(self.number, self.fmt.preset_version, self.name, self.fmt.name_length,
                                 self.tags, self.steps)

    def digest(self):
        parts = b"".join(hashlib.md5(m).digest() for m in self.messages)
        parts += hashlib.md5(self.info()).digest()
        return hashlib.md5(parts).digest()

    def stream(self):
        n = len(self.messages)
        out = le32(self.steps * self.fmt.pkg_step) + le32(n) + b"\x00" + le32(-1) + b"\x01" + self.info()
        out += le32(n)
        for m in self.messages:
            out += le32(len(m)) + m
        return out


def ard_file(product_name, data_version, fmt, presets):
    slots = {p.number: p for p in presets}
    out = b""
    for text in (WRITER_VERSION, product_name, data_version):
        out += text.encode("utf-8") + b"\x00"
    out += fmt.stream()
    out += le32(fmt.num_presets)
    for i in range(fmt.num_presets):
        out += slots[i].stream() if i in slots else le32(-1)
    out += le32(-1)   # no setup in a preset pack
    return out


def step_values(seed, count):
    return [(seed * 7 + k * 5 + (seed * k) % 11) % 128 for k in range(count)]


def factory_preset(fmt, number):
    steps = [step_values(number * 10 + s, fmt.values_per_step()) for s in range(1 + number % 3)]
    return Preset(fmt, number, FACTORY_NAMES[number - 1], 1 << (number % 8), steps)


def firmware_image(pid, build, major, minor, revision):
    msgs = [bytes([0xF0]) + MANUFACTURER + bytes([0x00, 0x60, 0x51, 0x00, 0xF7])]
    msgs.append(bytes([0xF0]) + MANUFACTURER + bytes([0x00, 0x60, 0x70, pid, (build >> 7) & 0x7F, build & 0x7F,
                                                       major, minor, revision, 0xF7]))
    for block in range(8):
        data = bytes(((pid * 31 + build * 7 + block * 13 + k * 3) & 0x7F) for k in range(64))
        msgs.append(bytes([0xF0]) + MANUFACTURER + bytes([0x00, 0x60, 0x71, (block >> 7) & 0x7F, block & 0x7F])
                    + data + bytes([checksum(data), 0xF7]))
    return b"".join(msgs)


# ---------------------------------------------------------------------------- PNG icons
def png(width, height, pixel):
    rows = b""
    for y in range(height):
        rows += b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def unit_icon(body, accent, knobs):
    def pixel(x, y):
        if not (4 <= x < 60 and 16 <= y < 48):
            return (0, 0, 0, 0)
        if 10 <= x < 30 and 22 <= y < 32:
            return accent + (255,)
        for i in range(knobs):
            cx, cy = 38 + i * 9, 27
            if (x - cx) ** 2 + (y - cy) ** 2 <= 12:
                return (210, 214, 220, 255)
        if 40 <= y < 44 and 10 <= x < 54 and (x - 10) % 9 < 6:
            return (150, 156, 166, 255)
        return body + (255,)
    return png(64, 64, pixel)


# ---------------------------------------------------------------------------- XML helpers
def attrs(d):
    def esc(v):
        return str(v).replace("&", "&amp;").replace("\"", "&quot;").replace("<", "&lt;")
    return "".join(' %s="%s"' % (k, esc(v)) for k, v in d.items())


def write(path, data):
    full = os.path.join(OUT, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(full, mode) as f:
        f.write(data)


def url(*parts):
    return BASE + "/" + "/".join(parts)


# ---------------------------------------------------------------------------- products
MERLE_BASE = {
    "isBuildValid": "1", "numSyxPackagesPerPresetStep": "1", "presetStepPacketSize": "32",
    "presetVersion": "1", "numSyxPackagesPerSetup": "2", "setupPacketSize": "48", "setupVersion": "1",
    "numPresets": "26", "presetNameLength": "15", "maxPresetSteps": "4", "presetCompatibilityList": "",
    "setupCompatibilityList": "", "supportsInfoQuery": "1", "suspendAlgo": "1", "presetTextLabel": "Preset",
    "stepsTextLabel": "Steps", "tagsTextLabel": "Tags", "presetCRC": "0", "presetDelete": "1",
    "presetHeader": "1", "activePresetZero": "0", "presetNameChange": "1",
    "presetNameChars": " ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.+&",
    "presetTagCount": "8", "presetTagLabels": "Lead,Harmony,Double,Choir,Robot,Delay,Reverb,Live",
    "bootTime": "4.0", "programTime": "6.0", "delayTimeAfterPresetDelete": "0.05", "bankSwapTime": "1.5",
}

XT_BASE = dict(MERLE_BASE)
XT_BASE.update({
    "numSyxPackagesPerPresetStep": "2", "presetStepPacketSize": "24", "presetVersion": "1",
    "numSyxPackagesPerSetup": "3", "setupPacketSize": "40", "setupVersion": "1", "numPresets": "51",
    "maxPresetSteps": "8", "presetTagCount": "12",
    "presetTagLabels": "Lead,Harmony,Double,Choir,Robot,Delay,Reverb,Live,Studio,Stage,Duet,Bass",
    "bootTime": "5.0", "programTime": "8.0", "bankSwapTime": "2.0",
})

PIPER_BASE = dict(MERLE_BASE)
PIPER_BASE.update({
    "numPresets": "11", "presetStepPacketSize": "16", "maxPresetSteps": "1", "numSyxPackagesPerSetup": "1",
    "setupPacketSize": "32", "supportsInfoQuery": "0", "suspendAlgo": "0", "presetDelete": "0",
    "presetNameChange": "0", "presetTagCount": "4", "presetTagLabels": "Lead,Harmony,Double,Live",
    "bootTime": "3.0", "programTime": "5.0",
})

MERLE_V1 = Format(0x11, 1, 32, 1, 2, 48, 1, 26, 15, 4)
MERLE_V2 = Format(0x11, 1, 40, 2, 2, 56, 2, 26, 15, 4)
XT_V1 = Format(0x12, 2, 24, 1, 3, 40, 1, 51, 15, 8)


def caps_xml(key, variants, base, profiles, banks):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "", "<CAPS>", "  <capsKey>%s</capsKey>" % key,
             "  <productVariants>"]
    for start, end, name, icon in variants:
        lines.append("    <range%s/>" % attrs({"start": start, "end": end, "displayName": name, "iconUrl": icon}))
    lines += ["  </productVariants>", "  <baseDefinition>", "    <features%s/>" % attrs(base), "  </baseDefinition>"]
    for start, end, features in profiles:
        lines += ["  <buildProfile>", "    <range%s/>" % attrs({"start": start, "end": end}),
                  "    <features%s/>" % attrs(features), "  </buildProfile>"]
    for start, end, presets in banks:
        lines += ["  <factoryBank>", "    <range%s/>" % attrs({"start": start, "end": end})]
        for p in presets:
            lines.append("    <preset%s/>" % attrs({"number": p.number, "md5": p.digest().hex()}))
        lines.append("  </factoryBank>")
    lines += ["</CAPS>", ""]
    return "\n".join(lines)


def firmware_xml(key, entries):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "", "<FIRMWARE>", "  <firmwareKey>%s</firmwareKey>" % key]
    for status, version, date, link, description in entries:
        lines += ["  <firmwareUpdate>", "    <status>%s</status>" % status, "    <version>%s</version>" % version,
                  "    <pubDate>%s</pubDate>" % date, "    <link>%s</link>" % link, "    <description>"]
        for line in description:
            lines.append("      <line>%s</line>" % line)
        lines += ["    </description>", "  </firmwareUpdate>"]
    lines += ["</FIRMWARE>", ""]
    return "\n".join(lines)


def rules_xml(key, rules):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "", "<CONVERSION_RULES>", "  <rulesKey>%s</rulesKey>" % key]
    for kind, a in rules:
        lines.append("  <%s%s/>" % (kind, attrs(a)))
    lines += ["</CONVERSION_RULES>", ""]
    return "\n".join(lines)


# Rule scripts. Each runs whole in the program's interpreter (JUCE's: no let, const or
# switch; a native method's void result is tested with typeof r == "void", and === between a
# script number and a native number is false, so comparisons use == and !=). Between them
# they use every method of the four native objects: "Larkspire", "PresetConversion",
# "SetupConversion" and "ReferenceData". ReferenceData is void throughout when a single
# preset or setup is converted, so every use of it first tests for that.
#
# Merle preset data 1 holds 8 values per step; 2 adds the harmony key (8) and the mix (9);
# Merle XT preset data 1 adds the link (10: the preset its footswitch steps to) and the
# crossfade into it (11). Merle setup data 1 holds 24 values (0 is the start-up preset,
# 1 the harmony key of version 1 units); 2 adds input gain left and right, pad and limiter.
# Merle XT setup data 1 holds 30 values; 2 adds the stereo link and five values of its own.

MERLE_PRESET_1_TO_2 = """// Merle presets, data version 1 to 2.
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
"""

MERLE_PRESET_2_TO_1 = """// Merle presets, data version 2 back to 1.
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
"""

MERLE_PRESET_2_TO_XT_1 = """// Merle presets (data version 2) to Merle XT presets (data version 1).
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
"""

MERLE_SETUP_1_TO_2 = """// Merle setup, data version 1 to 2: input gain left and right (64), pad (0) and
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
"""

XT_SETUP_1_TO_2 = """// Merle XT setup, data version 1 to 2: the stereo link and its five values follow, all 0
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
"""


def descriptor():
    def product(name, pid, key_prefix, caps, fw, rules, packs, manual, date, gen=False):
        a = {"name": name, "sysexId": pid, "allVersSupportGenSyxID": "1" if gen else "0"}
        lines = ["    <product%s>" % attrs(a), "      <pubDate>%s</pubDate>" % date,
                 "      <caps>%s</caps>" % caps, "      <firmwareUpdate>%s</firmwareUpdate>" % fw,
                 "      <conversionRules>%s</conversionRules>" % rules,
                 "      <onlinePresets>%s</onlinePresets>" % packs, "      <manual>%s</manual>" % manual]
        for k, v in key_prefix.items():
            lines.append("      <%s>%s</%s>" % (k, v, k))
        lines.append("    </product>")
        return lines

    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "", "<CONTROL_DESCRIPTOR>", "  <larkSpire>",
             "    <latestBuildNo>139</latestBuildNo>", "    <latestBuildInfo></latestBuildInfo>",
             "    <updateUrlPc></updateUrlPc>",
             "    <linkUserAccount>%s/account</linkUserAccount>" % HOST,
             "    <linkAppSupport>%s/products/larkspire/support/</linkAppSupport>" % HOST,
             "    <linkAppManual>%s/support/manuals/larkspire/</linkAppManual>" % HOST,
             "    <linkManualDefault>%s/support/manuals/</linkManualDefault>" % HOST,
             "    <linkGeneralSupport>%s/support</linkGeneralSupport>" % HOST,
             "    <linkConnectionFAQ>%s/support/connection-faq/</linkConnectionFAQ>" % HOST,
             "  </larkSpire>", "  <devices>"]
    lines += product("Merle", 17,
                     {"capsKey": "merle-caps-3", "firmwareKey": "merle-fw-7", "rulesKey": "merle-rules-2",
                      "presetsKey": "merle-packs-1"},
                     url("Merle", "caps.xml"), url("Merle", "firmware.xml"), url("Merle", "rules.xml"),
                     url("Merle", "merle_packs.zip"), HOST + "/support/manuals/merle/", "2019-03-01T12:30:00Z")
    lines += product("Merle XT", 18,
                     {"capsKey": "xt-caps-2", "firmwareKey": "xt-fw-4", "rulesKey": "xt-rules-1", "presetsKey": ""},
                     url("Merle XT", "caps.xml"), url("Merle XT", "firmware.xml"), url("Merle XT", "rules.xml"),
                     "", HOST + "/support/manuals/merle-xt/", "2020-06-15T09:00:00Z")
    lines += product("Piper", 12, {"capsKey": "piper-caps-1"}, url("Piper", "caps.xml"), "", "", "",
                     HOST + "/support/manuals/piper/", "2016-11-20T08:00:00Z", gen=True)
    lines += ["  </devices>", "</CONTROL_DESCRIPTOR>", ""]
    return "\n".join(lines)


def archive_xml(uuid, title, description, pub_date, data_name, presets, build):
    author_name, author_id, ar_version = "Ardentis", 100, 139
    digest_input = b"".join(p.digest() for p in sorted(presets, key=lambda p: p.number))
    digest_input += (uuid + str(ar_version) + str(author_id) + author_name + title + description
                     + str(pub_date) + "*").encode("utf-8")
    md5 = hashlib.md5(digest_input).hexdigest()
    return "\n".join([
        '<?xml version="1.0" encoding="UTF-8"?>', "", "<ARCHIVE>",
        "  <uuid>%s</uuid>" % uuid, "  <md5>%s</md5>" % md5, "  <arVersion>%d</arVersion>" % ar_version,
        '  <product sysexId="11"/>', "  <buildNo>%d</buildNo>" % build,
        '  <author name="%s" id="%d"/>' % (author_name, author_id), "  <title>%s</title>" % title,
        "  <description>%s</description>" % description, "  <pubDate>%d</pubDate>" % pub_date,
        "  <linkImage>*</linkImage>", "  <linkData>%s</linkData>" % data_name, "</ARCHIVE>", ""])


def pack_zip():
    packs = [
        ("Studio Voices", "studio_voices", "5d1f0c2e8a7b4c6d9e0f1a2b3c4d5e6f",
         "Close, dry voices for recording.", 1561975200000,
         ["Dry Lead", "Tight Double", "Soft Third", "Whisper Air", "Vintage Tape", "Radio Voice"]),
        ("Live Essentials", "live_essentials", "0a9b8c7d6e5f40312233445566778899",
         "Big, forgiving sounds for the stage.", 1567332000000,
         ["Arena Lead", "Crowd Choir", "Fifth Stack", "Slapback Live"]),
    ]
    buffer = os.path.join(OUT, "Merle", "merle_packs.zip")
    os.makedirs(os.path.dirname(buffer), exist_ok=True)
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for folder, stem, uuid, description, date, names in packs:
            presets = []
            for i, name in enumerate(names):
                steps = [step_values(len(stem) * 3 + i * 4 + s, MERLE_V2.values_per_step()) for s in range(1 + i % 2)]
                presets.append(Preset(MERLE_V2, i + 1, name, (i * 5 + 1) & 0xFF, steps))
            data = ard_file("Merle", "0.1.2.0.140.0", MERLE_V2, presets)
            xml = archive_xml(uuid, folder, description, date, stem + ".ard", presets, 140)
            for name, content in ((folder + "/" + stem + ".xml", xml.encode("utf-8")), (folder + "/" + stem + ".ard", data)):
                info = zipfile.ZipInfo(name, date_time=(2019, 7, 1, 10, 0, 0))
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = 0o644 << 16
                z.writestr(info, content)


def main():
    write("masterDescriptor.xml", descriptor())

    # Merle
    merle_factory_v1 = [factory_preset(MERLE_V1, n) for n in range(1, 6)]
    merle_factory_v2 = [factory_preset(MERLE_V2, n) for n in range(1, 6)]
    write("Merle/caps.xml", caps_xml(
        "merle-caps-3",
        [(0, 49999, "Merle", url("Merle", "icons", "merle.png")),
         (50000, 99999, "Merle Black", url("Merle", "icons", "merle_black.png"))],
        MERLE_BASE,
        [(0, 109, {"presetVersion": "1", "setupVersion": "1"}),
         (110, 129, {"presetVersion": "2", "presetStepPacketSize": "40", "presetCompatibilityList": "1",
                     "setupVersion": "1"}),
         (130, -1, {"presetVersion": "2", "presetStepPacketSize": "40", "presetCompatibilityList": "1",
                    "setupVersion": "2", "setupPacketSize": "56", "setupCompatibilityList": "1"})],
        [(0, 109, merle_factory_v1), (110, -1, merle_factory_v2)]))
    write("Merle/icons/merle.png", unit_icon((52, 58, 68), (127, 211, 198), 2))
    write("Merle/icons/merle_black.png", unit_icon((24, 24, 28), (232, 116, 79), 2))

    merle_fw = [
        ("beta", "b 1.3.00 build 150", "2021-02-01T10:00:00Z", 150, (1, 3, 0),
         ["Preview of the next release.", "Adds a second harmony voice."]),
        ("public", "1.2.00 build 140", "2020-09-14T10:00:00Z", 140, (1, 2, 0),
         ["New setup layout with per-input gain.", "Faster preset switching."]),
        ("public", "1.1.00 build 120", "2020-01-20T10:00:00Z", 120, (1, 1, 0),
         ["Presets gain formant and mix controls."]),
        ("revoked", "1.0.10 build 110", "2019-11-02T10:00:00Z", 110, (1, 0, 10),
         ["Withdrawn: use 1.1.00 or later."]),
        ("public", "1.0.00 build 100", "2019-03-01T12:30:00Z", 100, (1, 0, 0), ["First release."]),
        ("expired", "0.9.00 build 90", "2018-12-01T10:00:00Z", 90, (0, 9, 0), ["Pre-release build."]),
    ]
    entries = []
    for status, version, date, build, (ma, mi, rev), lines in merle_fw:
        name = "merle_%d.syx" % build
        entries.append((status, version, date, url("Merle", "firmware", name), lines))
        if status not in ("revoked", "expired"):
            write("Merle/firmware/" + name, firmware_image(0x11, build, ma, mi, rev))
    write("Merle/firmware.xml", firmware_xml("merle-fw-7", entries))

    write("Merle/rules.xml", rules_xml("merle-rules-2", [
        ("preset", {"source": 1, "target": 2, "cost": 1, "script": url("Merle", "js", "merle_preset_1_to_2.js")}),
        ("preset", {"source": 2, "target": 1, "cost": 2, "script": url("Merle", "js", "merle_preset_2_to_1.js")}),
        ("setup", {"source": 1, "target": 2, "cost": 1, "script": url("Merle", "js", "merle_setup_1_to_2.js")}),
        ("preset", {"source": 2, "target": 1, "name": "Merle XT", "cost": 3,
                    "script": url("Merle", "js", "merle_preset_2_to_xt_1.js")}),
    ]))
    write("Merle/js/merle_preset_1_to_2.js", MERLE_PRESET_1_TO_2)
    write("Merle/js/merle_preset_2_to_1.js", MERLE_PRESET_2_TO_1)
    write("Merle/js/merle_preset_2_to_xt_1.js", MERLE_PRESET_2_TO_XT_1)
    write("Merle/js/merle_setup_1_to_2.js", MERLE_SETUP_1_TO_2)
    pack_zip()

    # Merle XT
    xt_factory = [factory_preset(XT_V1, n) for n in range(1, 6)]
    write("Merle XT/caps.xml", caps_xml(
        "xt-caps-2",
        [(0, 29999, "Merle XT", url("Merle XT", "icons", "xt.png")),
         (30000, 59999, "Merle XT Studio", url("Merle XT", "icons", "xt_studio.png"))],
        XT_BASE,
        [(0, 209, {"setupVersion": "1"}),
         (210, -1, {"setupVersion": "2", "setupPacketSize": "48", "setupCompatibilityList": "1"})],
        [(0, -1, xt_factory)]))
    write("Merle XT/icons/xt.png", unit_icon((70, 76, 88), (127, 211, 198), 3))
    write("Merle XT/icons/xt_studio.png", unit_icon((96, 62, 48), (240, 200, 120), 3))
    # Build 212 came out after the simulated units were made (12 March 2021), so a simulated
    # Merle XT still runs 210 and is offered 212.
    xt_fw = [
        ("alpha", "a 2.2.00 build 215", "2021-05-03T10:00:00Z", 215, (2, 2, 0), ["Internal test build."]),
        ("public", "2.1.05 build 212", "2021-04-19T10:00:00Z", 212, (2, 1, 5),
         ["Steadier clock when linked in stereo."]),
        ("public", "2.1.00 build 210", "2021-01-11T10:00:00Z", 210, (2, 1, 0), ["Extended setup: stereo link."]),
        ("public", "2.0.00 build 200", "2020-06-15T09:00:00Z", 200, (2, 0, 0), ["First release."]),
    ]
    entries = []
    for status, version, date, build, (ma, mi, rev), lines in xt_fw:
        name = "xt_%d.syx" % build
        entries.append((status, version, date, url("Merle XT", "firmware", name), lines))
        write("Merle XT/firmware/" + name, firmware_image(0x12, build, ma, mi, rev))
    write("Merle XT/firmware.xml", firmware_xml("xt-fw-4", entries))
    write("Merle XT/rules.xml", rules_xml("xt-rules-1", [
        ("setup", {"source": 1, "target": 2, "cost": 1, "script": url("Merle XT", "js", "xt_setup_1_to_2.js")}),
    ]))
    write("Merle XT/js/xt_setup_1_to_2.js", XT_SETUP_1_TO_2)

    # Piper: an older unit that answers the broadcast identity query in every firmware version.
    write("Piper/caps.xml", caps_xml(
        "piper-caps-1", [(0, 99999, "Piper", url("Piper", "icons", "piper.png"))], PIPER_BASE,
        [(0, -1, {})], []))
    write("Piper/icons/piper.png", unit_icon((90, 110, 80), (230, 230, 200), 1))


if __name__ == "__main__":
    main()
