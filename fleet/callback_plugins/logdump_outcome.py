# Prints each host's outcome of a fleet run as soon as the host ends (the
# role's outcome task, tasks/outcome.yml), so that a long run over many
# hosts shows its results as they come, not only in the day's records.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = """
name: logdump_outcome
type: notification
short_description: each host's logdump outcome as the host ends
description:
  - Prints one line per host when the logdump role settles its outcome, with how long its program ran.
requirements:
  - enabled in ansible.cfg (callbacks_enabled)
"""

from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = "notification"
    CALLBACK_NAME = "logdump_outcome"
    CALLBACK_NEEDS_ENABLED = True

    def v2_runner_on_ok(self, result):
        outcome = result._result.get("ansible_facts", {}).get("logdump_outcome")
        if not isinstance(outcome, dict):
            return
        line = "logdump: %s: %s" % (result._host.get_name(), outcome.get("result"))
        if outcome.get("seconds") is not None:
            line += " after %s s" % outcome["seconds"]
        if outcome.get("error"):
            line += " (%s)" % " ".join(outcome["error"].split())
        self._display.display(line)
