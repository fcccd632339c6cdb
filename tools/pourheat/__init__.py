"""The tools around pourheat, as one package. Each module has one job, and
uses only those listed before it:

  units, freeform   degrees and limits with their unit, values of a member
                    description, the text of times and temperatures; the
                    program's free-form lists
  project           the project file: capacities, number text, the reader
                    and the writer
  results           the files of a run directory, one reader each
  limits            the limits and the verdict on concrete.csv
  pictures, page    the pictures of a run; the report's page
  report, batch     the report on one run; many runs at once
  new/              a project written from a member description

The commands in the folder above (pourheat-new, -plot, -report, -batch)
parse their arguments and call these."""
