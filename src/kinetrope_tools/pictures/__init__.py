"""Pictures of the patterns: drawings, the gallery, contact sheets, GIFs and videos to a song.

matplotlib and Pillow load only when a module here is imported.
"""
