"""Python's zlib, for the stream tests to compare with: one answer line for
each request line on stdin, bytes in hexadecimal (after "x:" in requests,
so that no bytes is a word too).

  compress LEVEL x:HEX                    zlib.compress
  variant LEVEL MEMLEVEL STRATEGY x:HEX   a compressor with other settings
  decompress x:HEX                      zlib.decompress, or "error"
  crc x:HEX                             zlib.crc32, unsigned decimal
"""
import sys
import zlib

for line in sys.stdin:
    words = line.split()
    data = bytes.fromhex(words[-1][2:])
    if words[0] == "compress":
        print(zlib.compress(data, int(words[1])).hex())
    elif words[0] == "variant":
        c = zlib.compressobj(int(words[1]), zlib.DEFLATED, 15, int(words[2]), int(words[3]))
        print((c.compress(data) + c.flush()).hex())
    elif words[0] == "decompress":
        try:
            print(zlib.decompress(data).hex())
        except zlib.error:
            print("error")
    elif words[0] == "crc":
        print(zlib.crc32(data))
    else:
        sys.exit("unknown request " + words[0])
