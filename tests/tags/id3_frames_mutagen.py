"""Prints the ID3v2 frames of a file as mutagen, an independent reader, sees them.

One line per frame, in tag order: the frame's key, a tab, and its content as JSON (texts for
text, comment and URL frames; MIME type, type, description and data size for pictures; the
data size for other frames). Frames mutagen keeps undecoded (encrypted, unknown) are listed
as "?ID". Exit status 3 when mutagen is not installed, so the caller can skip.
"""
import json
import sys

try:
    from mutagen.id3 import ID3, APIC, COMM, TextFrame, UrlFrame, USLT, WXXX
except ImportError:
    sys.exit(3)


def content(frame):
    if isinstance(frame, APIC):
        return [frame.mime, int(frame.type), frame.desc, len(frame.data)]
    if isinstance(frame, (COMM, USLT)):
        return [frame.lang, frame.desc, frame.text if isinstance(frame, COMM) else [frame.text]]
    if isinstance(frame, WXXX):
        return [frame.desc, frame.url]
    if isinstance(frame, UrlFrame):
        return frame.url
    if isinstance(frame, TextFrame):
        return [str(t) for t in frame.text]
    return len(frame._writeData())


tags = ID3(sys.argv[1], translate=False)
print("version\t" + json.dumps(list(tags.version)))
for frame in tags.values():
    print(frame.HashKey + "\t" + json.dumps(content(frame), ensure_ascii=False))
for raw in tags.unknown_frames:
    print("?" + raw[:4].decode("latin-1") + "\t" + json.dumps(len(raw)))
