"""READ ME on a machine where ".txt" still belongs to an editor that has
since been uninstalled, as on many: its entry names a program that is gone,
and there is no WordPad at the place the launcher names. The read-me appears
in the Windows folder's Notepad all the same, and the launcher stays."""

import os

from demo_flow import readme_without_wordpad
from e2elib import run_cases
from winedrive import Failure

TEXT_CLASS = "ZephraneE2e.GoneEditor"
GONE_EDITOR = r"C:\Program Files\Gone Editor\gone.exe"


def readme_with_a_stale_text_entry(s):
    if "HKEY_CLASSES_ROOT" in s.wine([s.reg, "query", r"HKCR\.txt"], check=False):
        raise Failure("the test prefix has a program for text files")
    if os.path.exists(s.windows_to_unix(GONE_EDITOR)):
        raise Failure("the editor that should be gone is there: %s" % GONE_EDITOR)
    s.undo.append(lambda: s.reg_import(["[-HKEY_CLASSES_ROOT\\.txt]",
                                        "[-HKEY_CLASSES_ROOT\\%s]" % TEXT_CLASS]))
    s.reg_import(['[HKEY_CLASSES_ROOT\\.txt]', '@="%s"' % TEXT_CLASS,
                  '[HKEY_CLASSES_ROOT\\%s\\shell\\open\\command]' % TEXT_CLASS,
                  '@="\\"%s\\" \\"%%1\\""' % GONE_EDITOR.replace("\\", "\\\\")])

    readme_without_wordpad(s, text_entry=True)


if __name__ == "__main__":
    run_cases([readme_with_a_stale_text_entry])
