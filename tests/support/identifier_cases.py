"""Names for the identifier rule that pattern, recording and axis names share.

Each case is (id, name); str names are checked as their UTF-8 bytes, bytes as
given.
"""

VALID = [
    ("one_letter", "a"),
    ("last_letter", "z"),
    ("digits_and_underscores", "a0_9_z"),
    ("trailing_underscore", "z_"),
    ("max_128_bytes", "a" * 128),
    ("as_bytes", b"abc_1"),
]

INVALID = [
    ("empty", ""),
    ("129_bytes", "a" * 129),
    ("upper_first", "A"),
    ("upper_inside", "aB"),
    ("digit_first", "1a"),
    ("underscore_first", "_a"),
    ("hyphen", "a-b"),
    ("blank", "a b"),
    ("trailing_newline", "a\n"),
    ("non_ascii", "caf\u00e9"),
    ("nul_byte", b"a\x00"),
    ("high_byte", b"a\xff"),
    ("letter_before_a", "`"),
    ("letter_after_z", "a{"),
]
