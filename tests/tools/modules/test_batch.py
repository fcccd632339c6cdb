"""The program a batch runs by default from a source tree: the build beside
tools/ as the path to it leads (the README's tour works in a scratch tree
whose tools/ is a link to the source and whose build/ a build kept outside
it), else the build beside the folder that the link leads to."""

import os
import tempfile
import unittest

from pourheat.batch import default_program


class DefaultProgram(unittest.TestCase):
    def test_build_beside_tools(self):
        with tempfile.TemporaryDirectory() as top:
            os.makedirs(f"{top}/source/tools")
            os.makedirs(f"{top}/scratch")
            os.symlink(f"{top}/source/tools", f"{top}/scratch/tools")
            for build in (f"{top}/source/build", f"{top}/scratch/build"):
                os.makedirs(build)
                with open(f"{build}/pourheat", "w") as f:
                    f.write("#!/bin/sh\n")
                os.chmod(f"{build}/pourheat", 0o755)
                self.assertEqual(default_program(f"{top}/scratch/tools"), f"{build}/pourheat")


if __name__ == "__main__":
    unittest.main()
