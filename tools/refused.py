"""How the author's tools say no: a refusal, and an error in one line."""

import shutil


class Refused(Exception):
    """A finding that stops the command; the message says what to mend."""


def said(error):
    """An error in one line; an operating system's refusal names the file."""
    if isinstance(error, shutil.Error):
        return error.args[0][0][2]
    if isinstance(error, OSError) and error.filename:
        return "%s: %s" % (error.filename, error.strerror)
    return str(error)
