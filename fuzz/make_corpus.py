#!/usr/bin/env python3
"""Writes the crafted seeds of fuzz/corpus/<target>/: hostile shapes the
fuzzers would take long to find (cut records, lying lengths, zip bombs,
deep nesting, huge numbers). Run from the project's top; the files are kept
in the repository, so this only needs running again to change them."""
import io
import os
import struct
import zipfile
import zlib

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(target, name, data):
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --- OV2: a record is a type byte and a little-endian length.
def ov2_poi(lon, lat, name):
    body = struct.pack("<ii", lon, lat) + name + b"\0"
    return struct.pack("<BI", 2, 5 + len(body)) + body


ov2_good = ov2_poi(235000, 4885000, b"Paris") + ov2_poi(-449448, 4838000, "Brest \xe9".encode("latin-1"))
ov2 = {
    "good": ov2_good,
    "cut-in-name": ov2_good[:-4],
    "length-past-end": struct.pack("<BI", 2, 0x7FFFFFFF) + ov2_good[5:],
    "length-under-header": struct.pack("<BI", 2, 3) + ov2_good[5:],
    "skipper-lying": struct.pack("<BIii ii", 1, 0xFFFFFFF0, 0, 0, 1, 1) + ov2_good,
    "skippers-nested": b"".join(struct.pack("<BIiiii", 1, 21 + 21 * k, 900000, 900000, -900000, -900000) for k in range(40)) + ov2_good,
    "huge-coordinates": ov2_poi(0x7FFFFFFF, -0x80000000, b"edge"),
    "deleted-and-unknown": struct.pack("<BI", 0, 10) + b"\0" * 5 + struct.pack("<BI", 9, 12) + b"x" * 7 + ov2_good,
    "type3-extended": struct.pack("<BI", 3, 20) + struct.pack("<ii", 1, 2) + b"a\0b\0c\0" + b"\0",
}
for name, data in ov2.items():
    put("ov2_reader", name + ".ov2", data)
    put("two_readers", name + ".ov2", data)

# --- GPX and KML: XML that lies, nests and never ends.
gpx_head = '<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="fuzz" xmlns="http://www.topografix.com/GPX/1/1">\n'
wpt = '<wpt lat="48.8566" lon="2.3522"><ele>35</ele><time>2020-01-01T00:00:00Z</time><name>Tour &amp; &#233;&#x263A;</name><cmt>c</cmt><desc><![CDATA[<b>x</b>]]></desc><link href="http://a/"><text>t</text></link><sym>Flag</sym><type>t</type><extensions><o:x xmlns:o="urn:o">1</o:x></extensions></wpt>\n'
gpx = {
    "good": gpx_head + wpt * 3 + "</gpx>\n",
    "cut-in-attribute": (gpx_head + wpt)[: len(gpx_head) + 20],
    "cut-in-cdata": gpx_head + wpt[:150],
    "deep-nesting": gpx_head + '<wpt lat="1" lon="2"><extensions>' + "<a>" * 1500 + "x" + "</a>" * 1500 + "</extensions></wpt></gpx>",
    "deep-unclosed": gpx_head + "<wpt lat='1' lon='2'>" + "<name>" * 2000,
    "huge-numbers": gpx_head + '<wpt lat="1' + "0" * 400 + '" lon="-9e99999"><ele>1e4000</ele></wpt><wpt lat="-0.0000000000000000000000000000001" lon="180.00000000000000000001"/><wpt lat="NaN" lon="inf"/></gpx>',
    "entities-lying": gpx_head + '<wpt lat="1" lon="2"><name>&#1114112;&#xFFFFFFFFFF;&#0;&#xD800;&amp&unknown;&</name></wpt></gpx>',
    "utf16-bom": "\ufeff" + gpx_head.replace("UTF-8", "UTF-16") + wpt + "</gpx>",
    "latin1-declared": gpx_head.replace("UTF-8", "ISO-8859-1") + '<wpt lat="1" lon="2"><name>caf\xe9</name></wpt></gpx>',
    "routes-and-tracks": gpx_head + '<rte><rtept lat="1" lon="2"/><rtept lat="3" lon="4"/></rte><trk><trkseg><trkpt lat="5" lon="6"/></trkseg></trk></gpx>',
    "comment-and-pi-everywhere": gpx_head + '<!-- <wpt lat="9" lon="9"> --><?pi x?><wpt lat="1" lon="2"><!--x--><name>a<!-- b -->c</name></wpt><!-- never closed',
}
for name, data in gpx.items():
    enc = "utf-16" if name == "utf16-bom" else ("latin-1" if name == "latin1-declared" else "utf-8")
    raw = data.encode(enc) if enc != "utf-8" else data.encode("utf-8")
    if enc == "utf-16":
        raw = data[1:].encode("utf-16")  # the codec writes its own mark
    put("gpx_reader", name + ".gpx", raw)
    put("two_readers", name + ".gpx", raw)
    put("cli_formats", name + ".gpx", raw)

kml_place = '<Placemark><name>a &amp; b</name><description><![CDATA[d]]></description><ExtendedData><Data name="k"><value>v</value></Data></ExtendedData><Point><coordinates>2.3,48.8,35</coordinates></Point></Placemark>'
kml = {
    "good": '<?xml version="1.0"?><kml xmlns="http://www.opengis.net/kml/2.2"><Document><Folder>' + kml_place * 2 + "</Folder></Document></kml>",
    "folders-deep": "<kml>" + "<Folder>" * 700 + kml_place + "</Folder>" * 700 + "</kml>",
    "coordinates-lying": "<kml><Placemark><Point><coordinates>1e999,-1e999</coordinates></Point></Placemark><Placemark><Point><coordinates>,,,</coordinates></Point></Placemark><Placemark><Point><coordinates>2.3</coordinates></Point></Placemark></kml>",
    "cut": ('<kml><Document>' + kml_place)[:120],
}
for name, data in kml.items():
    put("cli_formats", name + ".kml", data)

geojson = {
    "good": '{"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[2.3,48.8,35]},"properties":{"name":"a","desc":"\\u00e9\\ud83d\\ude00","n":1e400,"o":{"x":[1,2]}}}]}',
    "deep-arrays": '{"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[2,3]},"properties":{"a":' + "[" * 5000 + "]" * 5000 + "}}]}",
    "deep-unclosed": '{"type":"FeatureCollection","features":' + '[{"a":' * 2000,
    "lone-surrogates": '{"type":"Feature","geometry":{"type":"Point","coordinates":[1,2]},"properties":{"name":"\\ud800\\udc00\\udc00\\ud800"}}',
    "huge-numbers": '{"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[1' + "0" * 500 + ',-1e-99999]},"properties":{}}]}',
}
for name, data in geojson.items():
    put("cli_formats", name + ".geojson", data)

csv = {
    "header": 'name,lat,lon,desc,ele,time,extra\n"A, b",48.5,2.5,"x ""y""",35,2020-01-01T00:00:00Z,z\n',
    "headerless": "2.35,48.85,Nord,c\n-4.49,48.39,Brest,d\n",
    "semicolons": "48.85; 2.35; Paris\n48.39; -4.49; Brest\n",
    "quote-never-closed": 'name,lat,lon\n"a,1,2\n' + "x" * 3000,
    "degrees-minutes": "lat,lon,name\nN48 51.5,E2 21.1,a\n48°51'30\"N,2°21'E,b\n",
    "bom-and-crlf": "\ufefflat,lon,name\r\n1,2,\u00e9\r\n",
    "huge-numbers": "lat,lon\n1" + "0" * 300 + ",-1e99999\n0.000000000000000000000000001,180.0000000000000000001\n",
    "many-columns": ",".join("c%d" % i for i in range(2000)) + ",lat,lon\n" + "," * 2000 + "1,2\n",
}
for name, data in csv.items():
    put("cli_formats", name + ".csv", data)
put("cli_formats", "asc-rows.asc", "2.35,48.85,\"Paris\"\n-4.49 , 48.39 , \"Bre\"\"st\"\n; a comment\n1,2\n")

# --- GPI: records are a type, flags and lengths, nested.
def gpi_record(kind, data, children=b""):
    if children:
        return struct.pack("<HHII", kind, 8, len(data) + len(children), len(data)) + data + children
    return struct.pack("<HHI", kind, 0, len(data)) + data


with open(os.path.join(root, "..", "..", "tests", "data", "navigator", "gpsbabel-1.8.gpi"), "rb") as f:
    gpi_good = f.read()
gpi = {
    "cut-half": gpi_good[: len(gpi_good) // 2],
    "cut-header": gpi_good[:30],
    "lengths-max": gpi_good[:36] + struct.pack("<HHII", 9, 8, 0xFFFFFFFF, 0xFFFFFFFE) + gpi_good[48:],
    "main-longer-than-record": gpi_good[:36] + struct.pack("<HHII", 9, 8, 10, 200) + gpi_good[48:],
    "nested-deep": gpi_good[:56] + (lambda: (lambda f: f(f, 300))(lambda f, n: gpi_record(9, b"", f(f, n - 1) if n else gpi_record(2, b"x" * 30))))(),
    "huge-string-length": gpi_good[:56] + gpi_record(2, struct.pack("<iiHH", 1, 2, 0, 0) + b"\x01" + struct.pack("<I", 0xFFFFFFF0) + b"EN\xff\xff"),
}
for name, data in gpi.items():
    put("gpi_reader", name + ".gpi", data)


# --- KMZ: zips that lie and explode.
def zipped(entries, method=zipfile.ZIP_DEFLATED):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", method) as z:
        for name, data in entries:
            z.writestr(name, data)
    return out.getvalue()


good_kml = kml["good"].encode()
bomb = zipped([("doc.kml", b"<kml>" + b" " * (8 << 20) + b"</kml>")])
kmz = {
    "good": zipped([("doc.kml", good_kml)]),
    "stored": zipped([("doc.kml", good_kml)], zipfile.ZIP_STORED),
    "bomb-8mb": bomb,
    "many-entries": zipped([("f%d.kml" % i, b"") for i in range(100)] + [("doc.kml", good_kml)]),
    "no-kml": zipped([("image.png", b"\x89PNG")]),
    "nested-kmz": zipped([("inner.kmz", zipped([("doc.kml", good_kml)])), ("doc.kml", b"<kml/>")]),
    "cut": zipped([("doc.kml", good_kml)])[:60],
}
# A central directory whose sizes lie: the entry says 10 bytes, it inflates to a megabyte.
liar = bytearray(zipped([("doc.kml", b"<kml>" + b"a" * (1 << 20) + b"</kml>")]))
cd = liar.rfind(b"PK\x01\x02")
struct.pack_into("<I", liar, cd + 24, 10)
kmz["sizes-lying"] = bytes(liar)
# An end record that points outside the file.
eocd = bytearray(kmz["good"])
at = eocd.rfind(b"PK\x05\x06")
struct.pack_into("<I", eocd, at + 16, 0x7FFFFFFF)
kmz["directory-outside"] = bytes(eocd)
for name, data in kmz.items():
    put("kmz_reader", name + ".kmz", data)
put("cli_formats", "good.kmz", kmz["good"])

# --- the block reader: the first byte picks the block size.
for name, data in [("ov2-good", ov2_good), ("gpx-good", gpx["good"].encode()), ("csv-headerless", csv["headerless"].encode()),
                   ("kml-good", good_kml), ("gpx-cut", gpx["cut-in-cdata"].encode()), ("ov2-lying", ov2["length-past-end"])]:
    for block in (1, 6, 63):
        put("blocks", "%s-%d" % (name, block), bytes([block - 1]) + data)

# --- number entry, pin read-back, page texts.
for i, s in enumerate(["48,8531", "-4.49448", " 1e5 ", "+0,5", "1.000,5", "12 km", "9999999999999999999999,5", "1E-400", "1" * 300, "-0", "0x1p3", "١٢٣"]):
    put("read_decimal", "seed%d" % i, s)
put("pin_scans", "add", "48.853200, 2.348900\nLeaflet | (c) OpenStreetMap contributors, Legendes\n")
put("pin_scans", "move", "Map\nL\u00e9gendes\nD\u00e9placez la punaise\n-33.868820, 151.209296\nSydney\n")
put("page_text", "script", "</script><img src=x onerror=alert(1)>")
put("page_text", "quotes", "L'\u00c9glise \"Saint\" \\\\ \u041c\u043e\u0441\n\u2028\u2029")
