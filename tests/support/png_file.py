"""PNG files written byte by byte for the tests, with 8-bit samples and no interlacing."""
import struct
import zlib


def png_file(width, height, colour_type, rows, palette=None, alphas=None):
    """A PNG file of already packed rows (bytes without the filter byte); palette and alphas give
    the PLTE and tRNS chunks."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    if palette:
        out += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if alphas:
        out += chunk(b"tRNS", bytes(alphas))
    out += chunk(b"IDAT", zlib.compress(b"".join(b"\0" + r for r in rows)))
    return out + chunk(b"IEND", b"")
