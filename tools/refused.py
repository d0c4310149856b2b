"""How the image's tools say no (tools/mkiso.py and the modules it uses)."""


class Refused(Exception):
    """A finding that stops the image; the message says what to mend."""
