"""What the control port says about a message it cannot use reaches the
operator's terminal: nothing the sender wrote may steer that terminal."""

import pytest

from kinetrope_tools.stage.control import command_of


@pytest.mark.parametrize(
    ("address", "args"),
    [
        ("/kinetrope/\x1b[2J\x1b[31mtempo", ()),
        ("/kinetrope/home\nkinetrope live: all good", ()),
        ("/kinetrope/" + "x" * 5000, ()),
        ("/kinetrope/tempo", ("\x1b]0;title\x07",)),
    ],
    ids=["escape-sequence", "line-break", "very-long", "escape-in-argument"],
)
def test_a_complaint_is_one_printable_line(capsys, address, args):
    assert command_of(address, args) is None
    said = capsys.readouterr().err
    assert said.endswith("\n") and said.count("\n") == 1
    line = said[:-1]
    assert line.startswith("kinetrope live: control: ") and line.isprintable() and len(line) < 400
