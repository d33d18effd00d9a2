"""Music: beat maps from audio files.

The audio packages (librosa, soundfile) are imported only by the functions
that read or analyse audio, so importing this package stays fast.
"""
