"""Objects that are numbers only through one conversion method, for the
conversion rules of pips and doubles."""


class WithIndex:
    """An integer through __index__ only."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class WithIntOnly:
    """A number that int() converts but that has no __index__."""

    def __init__(self, value=1):
        self.value = value

    def __int__(self):
        return self.value


class WithFloat:
    """A number through __float__ only."""

    def __init__(self, value=0.25):
        self.value = value

    def __float__(self):
        return self.value
