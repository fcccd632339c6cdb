"""A project written from a short description of a member: the description
read (describe, with the air series of air), the grid sized (grid), the
model built on it (model), and the project file, series.pr (write) and
model.md (modelmd) written from it."""
