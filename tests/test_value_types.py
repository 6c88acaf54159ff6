# The small value types: the two integer enumerations, SaveMode.from_value and TabNameHelper.
import pytest

from shared_ui import MiniHistViewMode, SaveMode, TabNameHelper


def test_enumeration_members_in_definition_order():
    assert [(m.name, m) for m in MiniHistViewMode] == [("COLUMN_STAT", 0), ("WS_SAMPLING_STAT", 1)]
    assert [(m.name, m) for m in SaveMode] == [
        ("SAVE", 0), ("SAVE_AS", 1), ("EXPORT_DATA", 2), ("APPLY_STEPS", 3)]


@pytest.mark.parametrize("value, member", [
    (2, SaveMode.EXPORT_DATA), (SaveMode.EXPORT_DATA, SaveMode.EXPORT_DATA),
    (True, SaveMode.SAVE_AS), (False, SaveMode.SAVE), (0.0, SaveMode.SAVE),
    (3.0, SaveMode.APPLY_STEPS), (MiniHistViewMode.WS_SAMPLING_STAT, SaveMode.SAVE_AS),
])
def test_from_value_finds_the_member_by_integer_equality(value, member):
    assert SaveMode.from_value(value) is SaveMode.from_value(value=value) is member


# The error names the value as str() writes it; "\ud800" is a text that UTF-8 cannot encode.
@pytest.mark.parametrize("value", [4, -1, 1.5, "1", None, [0], "\ud800"])
def test_from_value_rejects_values_equal_to_no_member(value):
    with pytest.raises(ValueError) as info:
        SaveMode.from_value(value)
    assert str(info.value) == f"{value} is not a valid save mode"


def test_from_value_lets_the_error_of_a_failing_str_through():
    class Unprintable:
        def __str__(self):
            raise LookupError("no text form")

    with pytest.raises(LookupError, match="no text form"):
        SaveMode.from_value(Unprintable())


@pytest.mark.parametrize("name, short", [
    ("Worker-12", "W-12"), ("Worker-Worker-3", "W-Worker-3"), ("Worker-", "W-"),
    ("worker-1", "worker-1"), ("My Worker-1", "My Worker-1"), ("", ""), ("Worker", "Worker"),
    ("Worker-\U0001F600-é", "W-\U0001F600-é"),
])
def test_shorten_node_name(name, short):
    assert TabNameHelper.shorten_node_name(name) == short
    assert TabNameHelper().shorten_node_name(node_name=name) == short
