"""Music: beat maps from audio files, and small synthesized songs whose every hit is known.

The audio packages (librosa, soundfile) are imported only by the functions
that read or analyse audio, so importing this package stays fast.
"""
