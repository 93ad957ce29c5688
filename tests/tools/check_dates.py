#!/usr/bin/python3
"""Checks that every date of a premastered volume is the local time of ZONE
with that zone's offset from UTC, an instant between --from and --to (seconds
since 1970; directory records hold no seconds, so up to two minutes before).

    check_dates.py IMAGE --zone ZONE --from SECONDS --to SECONDS

Read with pycdlib: the creation, modification and effective dates of the
primary and Joliet volume descriptors (the expiration date must be sixteen
zeros, offset 0), every ISO 9660 and Joliet directory record, and the UDF
timestamps (type 1, local time) of the primary volume, integrity and file set
descriptors and of every file entry. Exit status 0 when every date fits.
"""

import argparse
import datetime
import sys
import zoneinfo

import pycdlib

EARLY = datetime.timedelta(minutes=2)
LATE = datetime.timedelta(seconds=5)

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("image")
    parser.add_argument("--zone", required=True)
    parser.add_argument("--from", dest="start", type=int, required=True)
    parser.add_argument("--to", dest="end", type=int, required=True)
    args = parser.parse_args()
    start, end = (datetime.datetime.fromtimestamp(t, datetime.timezone.utc) for t in (args.start, args.end))
    zone = zoneinfo.ZoneInfo(args.zone)
    offsets = {int(zone.utcoffset(moment).total_seconds()) // 60 for moment in (start, end)}
    iso = pycdlib.PyCdlib()
    iso.open(args.image)
    problems, dates = [], []  # dates: (where, (year, month, day, hour, minute, second), offset in minutes)

    def record(where, r):
        d = r.date
        dates.append((where, (1900 + d.years_since_1900, d.month, d.day_of_month, d.hour, d.minute, d.second),
                      d.gmtoffset * 15))

    def udf(where, t):
        if t.timetype != 1:  # local time
            problems.append("%s: timestamp type %d" % (where, t.timetype))
        dates.append((where, (t.year, t.month, t.day, t.hour, t.minute, t.second), t.tz))

    def paths(path_kind):
        return [folder.rstrip("/") + "/" + entry for folder, dirs, files in iso.walk(**{path_kind: "/"})
                for entry in dirs + files]

    for descriptor, name in ((iso.pvd, "primary"), (iso.joliet_vd, "Joliet")):
        for field in ("creation", "modification", "effective"):
            d = getattr(descriptor, "volume_%s_date" % field)
            dates.append(("%s %s date" % (name, field), (d.year, d.month, d.dayofmonth, d.hour, d.minute, d.second),
                          d.gmtoffset * 15))
        record("%s root record" % name, descriptor.root_dir_record)
        expiration = descriptor.volume_expiration_date
        if expiration.date_str[:16] != b"0" * 16 or expiration.gmtoffset != 0:
            problems.append("%s expiration date: %r offset %d" % (name, expiration.date_str[:16], expiration.gmtoffset))
    for path_kind, name in (("iso_path", "ISO 9660"), ("joliet_path", "Joliet")):
        for path in paths(path_kind):
            record("%s record %s" % (name, path), iso.get_record(**{path_kind: path}))
    udf("UDF primary volume descriptor", iso.udf_main_descs.pvds[0].recording_date)
    udf("UDF integrity descriptor", iso.udf_logical_volume_integrity.recording_date)
    udf("UDF file set descriptor", iso.udf_file_set.recording_date)
    for path in ["/"] + paths("udf_path"):
        for field in ("access_time", "mod_time", "attr_time"):
            udf("UDF %s of %s" % (field, path), getattr(iso.get_record(udf_path=path), field))
    iso.close()
    for where, fields, offset in dates:
        if offset not in offsets:
            problems.append("%s: offset %+d minutes, the zone's is %s" % (where, offset, sorted(offsets)))
            continue
        instant = datetime.datetime(*fields, tzinfo=datetime.timezone(datetime.timedelta(minutes=offset)))
        if not start - EARLY <= instant <= end + LATE:
            problems.append("%s: %s is not a moment of the run (%s to %s)" % (where, instant, start, end))
    print("\n".join(problems))
    return 1 if problems else 0

if __name__ == "__main__":
    sys.exit(main())
