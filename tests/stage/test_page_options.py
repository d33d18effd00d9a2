"""``kinetrope live --page``: options the command refuses before anything is opened."""

from __future__ import annotations

import pytest

from kinetrope_tools.cli import main

SHOW = """
[output.osc]
destination = "127.0.0.1:9"
[[fixture]]
name = "a"
pattern = "circle"
"""


@pytest.mark.parametrize(("args", "message"), [
    (["--page-host", "10.0.0.1"], "--page-host goes with --page"),
    (["--page", "0"], "argument --page: must be a port from 1 to 65535, not '0'"),
    (["--page", "http"], "argument --page: must be a port from 1 to 65535, not 'http'"),
    (["--page", "70000"], "argument --page: must be a port from 1 to 65535, not '70000'"),
], ids=["host-without-page", "port-0", "port-not-a-number", "port-too-high"])
def test_page_options_are_checked_before_the_show_starts(tmp_path, capsys, args, message):
    show = tmp_path / "show.toml"
    show.write_text(SHOW)
    with pytest.raises(SystemExit) as ended:
        main(["live", str(show), *args])
    assert ended.value.code == 2
    assert message in capsys.readouterr().err
