import math


class NumberFormatUtil:
    """Formats numbers and row counts for display."""

    def __init__(self, use_less_space: bool = False):
        self.use_less_space = use_less_space

    def format_number(self, value) -> str:
        if isinstance(value, bool) or value is None:
            return str(value)
        if isinstance(value, float) and not math.isfinite(value):
            return str(value)
        if isinstance(value, int):
            return f"{value:,}"
        magnitude = abs(value)
        if self.use_less_space:
            for limit, suffix in ((1e12, "T"), (1e9, "B"), (1e6, "M"), (1e3, "K")):
                if magnitude >= limit:
                    return f"{value / limit:.3g}{suffix}"
            return f"{value:.4g}"
        if magnitude != 0 and (magnitude >= 1e15 or magnitude < 1e-4):
            return f"{value:.4e}"
        return f"{value:,.4f}".rstrip("0").rstrip(".")

    @staticmethod
    def rows_to_text(rows, estimated: bool = False, long_text: bool = False) -> str:
        if rows is None:
            return "?"
        if rows >= 1_000_000:
            text = f"{rows / 1_000_000:.1f}M"
        elif rows >= 10_000:
            text = f"{rows / 1_000:.1f}K"
        else:
            text = f"{rows:,}"
        if estimated:
            text = "~" + text
        if long_text:
            text += " rows"
        return text
