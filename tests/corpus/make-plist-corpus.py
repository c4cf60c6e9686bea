#!/usr/bin/env python3
"""Writes the property-list corpus of the tests (tests/corpus/plist/).

The files are made by Python's plistlib and by hand, not by the platform's
own writer, so that the reader is tested against another implementation.
Every file is one the platform reads (or, named bad-*, one it must refuse
without harm). Run it again after changing a case; the files are checked in.
"""
import datetime
import os
import plistlib
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "plist")
os.makedirs(here, exist_ok=True)


def save(name, data):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)


everyday = {
    "LMEnabled": True,
    "enableTorch": False,
    "torchValue": 0.5,
    "rightBtn": False,
    "count": -42,
    "name": "Ünïcödé ✓ 𝄞",
    "blob": bytes(range(0, 256, 7)),
    "when": datetime.datetime(2015, 6, 1, 12, 30, 45),
    "list": [1, "two", 3.25, [], {}],
    "nested": {"a": {"b": {"c": "deep"}}},
}

xml = plistlib.dumps(everyday, fmt=plistlib.FMT_XML)
save("xml-utf8.plist", xml)
save("xml-utf8-bom.plist", b"\xef\xbb\xbf" + xml)
text = xml.decode("utf-8").replace('encoding="UTF-8"', 'encoding="UTF-16"')
save("xml-utf16le.plist", b"\xff\xfe" + text.encode("utf-16-le"))
save("xml-utf16be.plist", b"\xfe\xff" + text.encode("utf-16-be"))
save("xml-old-doctype.plist", xml.replace(b"-//Apple//DTD PLIST 1.0//EN", b"-//Apple Computer//DTD PLIST 1.0//EN"))
save("xml-latin1.plist", b"""<?xml version="1.0" encoding="ISO-8859-1"?>
<plist version="1.0"><dict><key>caf\xe9</key><string>cr\xe8me br\xfbl\xe9e</string></dict></plist>
""")

# Values an older reader lost: dates far from 1970, the largest unsigned
# integer, keyed-archive UIDs, escapes, CDATA and comments.
save("xml-edges.plist", b"""<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
\t<key>enableTorch</key>
\t<true/>
\t<key>first day</key><date>0001-01-01T00:00:00Z</date>
\t<key>1900</key><date>1900-01-01T00:00:00Z</date>
\t<key>before 1901-12-13</key><date>1901-12-13T20:45:51Z</date>
\t<key>after 2038-01-19</key><date>2038-01-19T03:14:08Z</date>
\t<key>far future</key><date>9999-12-31T23:59:59Z</date>
\t<key>before year one</key><date>-4713-11-24T12:00:00Z</date>
\t<key>geological</key><date>123456789012-01-01T00:00:00Z</date>
\t<key>uint64 max</key><integer>18446744073709551615</integer>
\t<key>int64 min</key><integer>-9223372036854775808</integer>
\t<key>hex</key><integer>0x7f</integer>
\t<key>infinite</key><real>+infinity</real>
\t<key>tiny</key><real>4.9406564584124654e-324</real>
\t<key>uid</key><dict><key>CF$UID</key><integer>7</integer></dict>
\t<key>escapes</key><string>&lt;a &amp; b&gt; &#xe9;&#233; &#x1D11E;</string>
\t<key>cdata</key><string><![CDATA[<not a tag> & stuff]]></string>
\t<!-- a comment between entries -->
\t<key>empty</key><string/>
\t<key>carriage</key><string>one&#13;two</string>
</dict>
</plist>
""")

binary_values = dict(everyday)
binary_values.update({
    "uint64 max": 18446744073709551615,
    "int64 min": -9223372036854775808,
    "nul inside": "before\x00after",
    "uid": plistlib.UID(300),
    "archive": {"$objects": [plistlib.UID(0), "x"], "$top": {"root": plistlib.UID(1)}},
})
save("binary-types.bplist", plistlib.dumps(binary_values, fmt=plistlib.FMT_BINARY))

# Dates are eight-byte floats in binary lists, exactly as reals are: write
# reals, then turn their markers (0x23) into the date marker (0x33).
date_seconds = {
    "year 1300": -21944793600.0,
    "year 1000 million": 3.15576e16,
    "largest": 1.7976931348623157e308,
    "smallest": -1.7976931348623157e308,
    "half a second": 0.5,
    "1932": -2147483649.0,
    "2069": 2147483648.0,
}
dates = plistlib.dumps(date_seconds, fmt=plistlib.FMT_BINARY)
for seconds in date_seconds.values():
    real = b"\x23" + struct.pack(">d", seconds)
    assert dates.count(real) == 1
    dates = dates.replace(real, b"\x33" + struct.pack(">d", seconds))
save("binary-dates.bplist", dates)

save("openstep.plist", b"""// a filter file in the old text form
{
    Filter = { Bundles = ("com.apple.camera"); Executables = (Camera, "Camera Plus"); };
    escaped = "tab\\tquote\\" snowman \\U2603 octal \\101";
    data = <0fbd 7700>;
    empty = ();
}
""")
save("openstep-strings.strings", b'"key" = "value";\nother = thing; /* a bare list of entries */\n')

# Files the reader must refuse, whole, without harm.
save("bad-garbage.plist", b"this is not a property list \x00\xff\x01")
save("bad-truncated.bplist", plistlib.dumps(everyday, fmt=plistlib.FMT_BINARY)[:-20])
save("bad-truncated.plist", xml[: len(xml) // 2])
save("bad-unknown-element.plist", xml.replace(b"<true/>", b"<maybe/>"))


def binary_list(objects, top=0):
    """A binary list of the given encoded objects (one-byte offsets and
    references)."""
    body = b"bplist00"
    offsets = []
    for encoded in objects:
        offsets.append(len(body))
        body += encoded
    table = len(body)
    body += bytes(offsets)
    return body + b"\0" * 6 + bytes([1, 1]) + struct.pack(">QQQ", len(objects), top, table)


# An array that contains itself, through another.
save("bad-cycle.bplist", binary_list([b"\xa1\x01", b"\xa1\x00"]))
# Forty arrays, each holding the next one twice: a few hundred bytes that
# unfold into 2^40 values.
save("bad-unfolds.bplist", binary_list([bytes([0xA2, i + 1, i + 1]) for i in range(40)] + [b"\xa0"]))
# Twenty, with a string at the bottom: a hundred-odd bytes whose two
# million values would take 30 MB and more written out.
save("bad-unfolds-20.bplist", binary_list([bytes([0xA2, i + 1, i + 1]) for i in range(20)] + [b"\x55torch"]))
