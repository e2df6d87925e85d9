// Placeholder: palette building, black-and-white and palette reduction.
#pragma once
