"""``python -m kinetrope_tools.stage.page.serve FD``: the page's process, started by ``process.PageServer``."""

from .server import main

main()
