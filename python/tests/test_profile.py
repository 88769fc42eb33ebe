"""portopt.Profile over the host build's profile engine on the simulated
Windows: the same text as portctl, the callback before each change, and the
engine's failures as the package's exceptions."""
import json
import os
import subprocess

import pytest

import portopt
from conftest import HOST
from portopt import Profile, ProfileError

PORTCTL = os.environ.get("PORTCTL", str(HOST / "tools" / "portctl" / "portctl"))


def portctl(machine, tmp_path, *args):
    path = tmp_path / "machine.json"
    path.write_text(json.dumps(machine.dump()))
    return subprocess.run([PORTCTL, "--machine", str(path), *args], capture_output=True, text=True)


def test_export_plan_and_test_say_what_portctl_says(machine, tmp_path):
    profile = Profile.export()
    assert profile.text == portctl(machine, tmp_path, "export", "-").stdout
    saved = tmp_path / "profile.json"
    profile.save(saved)
    portopt.set("COM3", interface=2)
    portopt.set("COM4", fastflush=1)

    plan = Profile.load(saved).plan()
    dry_run = portctl(machine, tmp_path, "import", "--dry-run", "--json", str(saved))
    assert plan.report == json.loads(dry_run.stdout)
    assert (plan.options, plan.differing, plan.refused, plan.changed) == (20, 2, 0, False)

    compliance = profile.test()
    check = portctl(machine, tmp_path, "check", str(saved))
    assert not compliance.compliant
    assert compliance.line + "\n" == check.stdout
    assert compliance.line == "drift: COM3 interface 2 (want 0), COM4 fastflush 1 (want 0)"
    assert compliance.report.report == plan.report


def test_import_asks_before_each_change_and_keeps_what_is_declined(machine):
    profile = Profile(json.dumps({"portctl": 1, "ports": {
        "COM3": {"interface": 3, "fastflush": 1}, "COM4": {"interface": 2}}}))
    asked = []

    def confirm(change):
        asked.append(change)
        return change["port"] == "COM3"

    report = profile.import_(confirm=confirm)
    assert asked == [
        {"port": "COM3", "entry": "COM3", "option": "interface", "from": 0, "to": 3},
        {"port": "COM4", "entry": "COM4", "option": "interface", "from": 1, "to": 2},
    ]
    options = {port: entry["options"] for port, entry in report.report["ports"].items()}
    assert options["COM3"]["interface"] == {"result": "applied", "from": 0, "to": 3}
    assert options["COM4"]["interface"]["result"] == "would apply"
    assert (report.changed, report.differing) == (True, 1)
    assert (portopt.get("COM3").interface, portopt.get("COM4").interface) == (3, 1)
    assert profile.test().compliant is False

    # An exception in the callback declines the rest and is raised after.
    calls = []

    def broken(change):
        calls.append(change)
        if len(calls) == 1:
            raise KeyError("stop")
        return True

    two = Profile(json.dumps({"portctl": 1, "ports": {"COM4": {"interface": 2}, "COM5": {"interface": 0}}}))
    with pytest.raises(KeyError):
        two.import_(confirm=broken)
    assert len(calls) == 1
    assert (portopt.get("COM4").interface, portopt.get("COM5").interface) == (1, 2)
    assert profile.import_().refused == 0
    assert profile.test().compliant


def test_faults_raise_with_their_place(machine):
    with pytest.raises(ProfileError, match=r"^ports\.COM4\.interface: value 4 out of range \(0 to 3\)$"):
        Profile('{"portctl": 1, "ports": {"COM4": {"interface": 4}}}').import_()
    with pytest.raises(ProfileError, match="^malformed JSON: "):
        Profile("{").plan()
    with pytest.raises(ProfileError, match="^1 entry cannot be matched by position"):
        Profile('{"portctl": 1, "ports": {"COM4": {"adapter": {"vendor": 1, "product": 2}, '
                '"txmode": 0}}}').test(match="position")
    with pytest.raises(ValueError, match="match"):
        Profile.export().plan(match="serial")


def test_import_with_numbers_swaps_two_ports_and_test_counts_a_wrong_number(machine):
    adapter = {"vendor": 6699, "product": 8260}
    profile = Profile(json.dumps({"portctl": 1, "ports": {
        "COM4": {"adapter": adapter, "position": 1, "interface": 2},
        "COM3": {"adapter": adapter, "position": 2}}}))
    compliance = profile.test(match="position", numbers=True)
    assert compliance.line == ("drift: COM3 number 3 (want 4), COM3 interface 0 (want 2), "
                               "COM4 number 4 (want 3)")
    asked = []
    report = profile.import_(match="position", numbers=True,
                             confirm=lambda change: asked.append(change) or True)
    assert asked[0] == {"port": "COM3", "entry": "COM4", "option": "number", "from": 3, "to": 4}
    assert report.report["ports"]["COM3"]["number"] == {
        "result": "applied", "from": 3, "to": 4, "through": 2}
    assert [step["to"] for step in report.report["renumberings"]] == [2, 3, 4]
    assert (portopt.get("COM4").position, portopt.get("COM4").interface) == (1, 2)
    assert profile.test(match="position", numbers=True).compliant
    with pytest.raises(ValueError, match="position"):
        profile.plan(numbers=True)
