#!/usr/bin/python3
"""Writes the header fields that Python's email package reads from each message file.

Usage: email_corpus_headers.py OUTPUT FILE...
For each file, lines of the form "KEY<TAB>VALUE" (backslash, tab, CR and LF escaped as \\, \t,
\r and \n), in this order:
  FILE     the path
  SUBJECT  the decoded subject (absent header: no line)
  FROM, TO, CC   one line per mailbox: display name TAB address; an empty group ("name:;")
                 gives its name and no address field
  DATE     seconds since the epoch, UTC (absent or unreadable: no line)
  PRIORITY 1 to 5 read from Priority or X-Priority (3 when absent or not a number 1 to 5)
  END
"""
import email
import email.policy
import re
import sys


def escaped(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r")
            .replace("\n", "\\n"))


def mailboxes(message, name):
    header = message[name]
    if header is None:
        return []
    result = []
    for group in header.groups:
        if group.display_name is not None and not group.addresses:
            result.append(escaped(group.display_name))
        for address in group.addresses:
            result.append(escaped(address.display_name) + "\t" + escaped(address.addr_spec))
    return result


def priority(message):
    for name in ("Priority", "X-Priority"):
        value = message[name]
        if value is not None:
            match = re.match(r"\s*(\d+)", str(value))
            number = int(match.group(1)) if match else 3
            return number if 1 <= number <= 5 else 3
    return 3


def describe(path):
    with open(path, "rb") as handle:
        message = email.message_from_binary_file(handle, policy=email.policy.default)
    lines = ["FILE\t" + escaped(path)]
    if message["Subject"] is not None:
        lines.append("SUBJECT\t" + escaped(str(message["Subject"])))
    for key, name in (("FROM", "From"), ("TO", "To"), ("CC", "Cc")):
        lines += [key + "\t" + mailbox for mailbox in mailboxes(message, name)]
    date = message["Date"]
    if date is not None and date.datetime is not None:
        lines.append("DATE\t%.0f" % date.datetime.timestamp())
    lines.append("PRIORITY\t%d" % priority(message))
    lines.append("END")
    return lines


with open(sys.argv[1], "w", encoding="utf-8") as output:
    for path in sys.argv[2:]:
        output.write("\n".join(describe(path)) + "\n")
