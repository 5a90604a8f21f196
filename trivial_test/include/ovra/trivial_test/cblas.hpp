// The one CBLAS function the host product calls, declared as the CBLAS interface fixes it (32-bit integers),
// so that every vendor's library links, whatever its own header is called and wherever it lies.
#pragma once

extern "C" {

enum CBLAS_ORDER { CblasRowMajor = 101, CblasColMajor = 102 };
enum CBLAS_TRANSPOSE { CblasNoTrans = 111, CblasTrans = 112, CblasConjTrans = 113 };

void cblas_sgemm(CBLAS_ORDER order, CBLAS_TRANSPOSE transpose_left, CBLAS_TRANSPOSE transpose_right, int rows,
                 int columns, int inner, float alpha, const float* left, int left_stride, const float* right,
                 int right_stride, float beta, float* output, int output_stride);

}  // extern "C"
